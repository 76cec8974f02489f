// Formatted output: descriptors, record rules and number fields.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "textio/textio.hpp"

using textio::format;

TEST(Format, IntegerAndRealFieldsOfTheConditionLine) {
    EXPECT_EQ(format("(1X,I4,9X,I3,8X,1P,E14.5)", {7, -1, 0.0125}),
              "    7          -1           1.25000E-02\n");
    EXPECT_EQ(format("(' Npt, nfa, nfa2 :',3I5)", {4, 1, 0}), " Npt, nfa, nfa2 :    4    1    0\n");
}

TEST(Format, NumbersTooWideBecomeAsterisks) {
    EXPECT_EQ(format("(I3)", {1000}), "***\n");
    EXPECT_EQ(format("(I3)", {-100}), "***\n");
    EXPECT_EQ(format("(I3)", {-99}), "-99\n");
    EXPECT_EQ(format("(f8.3)", {123456.0}), "********\n");
    EXPECT_EQ(format("(1P,E8.5)", {1.0}), "********\n");
}

TEST(Format, SlashesMakeEmptyLines) {
    EXPECT_EQ(format("(/' CURRENTS'/)"), "\n CURRENTS\n\n");
    EXPECT_EQ(format("(/,/,' DATA',/,/,2X,'N =',I4,/,2X,'M =',I4,/)", {1, 0}),
              "\n\n DATA\n\n  N =   1\n  M =   0\n\n");
}

TEST(Format, RepeatedGroupsAndText) {
    EXPECT_EQ(format("(' ',79('*'))"), " " + std::string(79, '*') + "\n");
    EXPECT_EQ(format("(2f10.3,' L'\\)", {1.5, -2.25}), "     1.500    -2.250 L");
}

TEST(Format, OutputStopsAtTheFirstDataDescriptorWithoutItem) {
    // A triangle's echo line: three corner groups, no blanks of the fourth.
    const std::string line = format("(1X,I4,4(2X,1P,3E14.5))", {1, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 0.0});
    EXPECT_EQ(line.size(), 138u);  // 137 columns and the line end
    EXPECT_EQ(line.substr(0, 23), "    1     0.00000E+00  ");
    EXPECT_NE(line[136], ' ');
    // Text before the first data descriptor is written without items.
    EXPECT_EQ(format("(' Npt :',3I5)"), " Npt :\n");
    // Text after the last item is written up to the next data descriptor.
    EXPECT_EQ(format("(' N',2f10.3,' M',f4.1)", {1.0, 2.0}), " N     1.000     2.000 M\n");
}

TEST(Format, BackslashKeepsTheRecordOpen) {
    EXPECT_EQ(format("(' NAME OF INPUT FILE : '\\)"), " NAME OF INPUT FILE : ");
    EXPECT_EQ(format("(' Calculation line #',i4,'/',i4,\\)", {10, 25}), " Calculation line #  10/  25");
    EXPECT_EQ(format("('a\\b')"), "a\\b\n");  // inside quotes it is a plain character
}

TEST(Format, FieldsWithoutLeadingZero) {
    EXPECT_EQ(textio::editF(0.5, 6, 3), "  .500");
    EXPECT_EQ(textio::editF(0.0, 6, 3), "  .000");
    EXPECT_EQ(textio::editF(-0.5, 6, 3), " -.500");
    EXPECT_EQ(textio::editF(1.0, 6, 3), " 1.000");
    EXPECT_EQ(textio::editF(-0.0, 6, 3), "  .000");   // no sign for minus zero
    EXPECT_EQ(textio::editF(-0.0004, 6, 3), " -.000");  // sign kept for a value below zero
    EXPECT_EQ(textio::editF(0.9996, 6, 3), " 1.000");
    EXPECT_EQ(format("(' Th =',f10.4,' : '\\)", {60.0f}), " Th =   60.0000 : ");
}

TEST(Format, ExactTiesRoundToEven) {
    EXPECT_EQ(textio::editF(0.125, 5, 2), "  .12");
    EXPECT_EQ(textio::editF(0.375, 5, 2), "  .38");
    EXPECT_EQ(textio::editF(2.5, 3, 0), " 2.");
    EXPECT_EQ(textio::editE(1.125, 10, 2, 1), "  1.12E+00");
}

TEST(Format, ScientificFields) {
    EXPECT_EQ(textio::editE(0.0, 14, 5, 1), "   0.00000E+00");
    EXPECT_EQ(textio::editE(-3.0, 14, 5, 1), "  -3.00000E+00");
    EXPECT_EQ(textio::editE(1.25e-100, 14, 5, 1), "   1.25000-100");
    EXPECT_EQ(textio::editE(-9.99999e+299, 14, 5, 1), "  -9.99999+299");
    EXPECT_EQ(textio::editE(-0.0, 14, 5, 1), "   0.00000E+00");
    EXPECT_EQ(textio::editE(0.0125, 14, 5, 0), "   0.12500E-01");
    EXPECT_EQ(format("(' solmin, solmax :',1p2e15.6)", {-1.5, 2.0}),
              " solmin, solmax :  -1.500000E+00   2.000000E+00\n");
    EXPECT_EQ(format("(' FLUX',I3,' :',1Pe12.5)", {1, 2.5e-3}), " FLUX  1 : 2.50000E-03\n");
}

TEST(Format, NonFiniteValuesAreWords) {
    EXPECT_EQ(textio::editE(NAN, 14, 5, 1), "           NaN");
    EXPECT_EQ(textio::editF(-INFINITY, 8, 3), "    -Inf");
}

TEST(Format, CharacterItems) {
    EXPECT_EQ(format("(A)", {std::string("ab  ")}), "ab  \n");
    EXPECT_EQ(format("(a1)", {"xyz"}), "x\n");
    EXPECT_EQ(format("(' NAME OF INPUT FILE : ',a)", {"in.dat"}), " NAME OF INPUT FILE : in.dat\n");
    EXPECT_EQ(format("('Dessin termin\xE9 '/)"), "Dessin termin\xE9 \n\n");
    EXPECT_EQ(format("('it''s')"), "it's\n");
}

TEST(Format, MoreItemsThanDescriptorsStartANewRecord) {
    EXPECT_EQ(format("(2I3)", {1, 2, 3}), "  1  2\n  3\n");
}

TEST(Format, ProgrammingErrorsAreRefused) {
    EXPECT_THROW(format("(I4", {1}), std::logic_error);
    EXPECT_THROW(format("(I4)", {1.5}), std::logic_error);
    EXPECT_THROW(format("(Q4)", {1}), std::logic_error);
    EXPECT_THROW(format("(I9999999999)", {1}), std::logic_error);
    EXPECT_THROW(format("(99999(' '))"), std::logic_error);
    // The widest fields held are written in full.
    EXPECT_EQ(format("(E80.70)", {1.0}), std::string(4, ' ') + "0.1" + std::string(69, '0') + "E+01\n");
    EXPECT_EQ(format("(I9999)", {7}).size(), 10000u);
}

TEST(OutUnit, RecordsContinueAfterABackslash) {
    std::ostringstream os;
    textio::OutUnit u(os);
    u.write("(' NAME OF INPUT FILE : '\\)");
    EXPECT_TRUE(u.recordOpen());
    u.write("(' NAME OF OUTPUT FILE : '\\)");
    u.write("(' Calculation line #',i4,'/',i4,\\)", {10, 20});
    u.write("(', time :',f8.3)", {0.25f});
    EXPECT_FALSE(u.recordOpen());
    u.writeFree({"showpage"});
    u.write("(' B '\\)");
    u.endRecord();
    u.endRecord();
    EXPECT_EQ(os.str(),
              " NAME OF INPUT FILE :  NAME OF OUTPUT FILE :  Calculation line #  10/  20, time :    .250\n"
              " showpage\n B \n");
}
