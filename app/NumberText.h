#pragma once
// Numbers as text at the speed of std::to_chars, in the form the program's
// text files have always had: QString::number(v, 'g', 17).
//
// That form is printf's %.17g except in three details, kept here: an exact
// tie at the 17th digit rounds away from zero (printf and to_chars round to
// even), -0 reads "0" and a NaN of either sign reads "nan".

// Writes v into out (at least G17Size chars, no terminating 0) and returns
// the end of the text.
constexpr int G17Size = 32;
char *writeG17(double v, char *out);
