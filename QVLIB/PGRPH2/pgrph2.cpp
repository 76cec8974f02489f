// PostScript plotting primitives (PSBEGIN, PSEND, PSSCALE, PSXFORM).
