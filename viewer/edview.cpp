// The view editing dialogue: one prompt per parameter, the current value
// shown; a blank answer keeps it, a number replaces it.
#include <cmath>
#include <string>

#include "QVLIB/STARREAD/starread.hpp"
#include "textio/textio.hpp"
#include "viewer/korval.hpp"

namespace korval {

namespace {

constexpr std::size_t ANSLEN = 82;

// Reads one answer into `value`.  Returns false on a blank answer.
bool answer(float& value) {
    std::string ANS;
    if (!textio::consoleLine(ANS)) {
        // No more answers: "KORV.PS" holds the last complete picture.
        textio::console().endRecord();
        textio::stop("FIN DES REPONSES", 0);
    }
    if (ANS.size() > ANSLEN) ANS.resize(ANSLEN);
    if (ANS.find_first_not_of(' ') == std::string::npos) return false;
    if (qvlib::RDREAL(ANS, 15, value) == 1) textio::stop("ERREUR NON RECUPERABLE", 0);
    // An overflowed answer would put Infinity and NaN into the picture.
    if (!std::isfinite(value))
        throw textio::IoError("standard input: expected a number within the range of single-precision reals, found \"" +
                              ANS.substr(0, 15) + "\"");
    return true;
}

void plain(const char* fmt, float& value) {
    textio::console().write(fmt, {value});
    answer(value);
}

// Shown and entered in degrees, kept in radians; a blank answer keeps the
// radians untouched.
void angle(const char* fmt, float& value) {
    const float shown = value * 180 / PI;
    textio::console().write(fmt, {shown});
    float deg = 0;
    if (answer(deg)) value = deg * PI / 180;
}

}  // namespace

void EDVIEW() {
    textio::console().write("(' Modification perspective '/)");
    plain("(' AX =',f10.4,' : '\\)", AX);
    plain("(' AY =',f10.4,' : '\\)", AY);
    plain("(' AZ =',f10.4,' : '\\)", AZ);
    plain("(' D  =',f10.4,' : '\\)", D);
    angle("(' Th =',f10.4,' : '\\)", Th);
    angle("(' Ps =',f10.4,' : '\\)", Ps);
    angle("(' Om =',f10.4,' : '\\)", Om);
    plain("(' Zx =',f10.4,' : '\\)", Zx);
    if (ICOL != 1) return;
    plain("(' Ex =',f10.4,' : '\\)", Ex);
    plain("(' VECTEURS'/' Min=',1pe10.3,' : '\\)", solmin);
    plain("(' Max=',1pe10.3,' : '\\)", solmax);
}

}  // namespace korval
