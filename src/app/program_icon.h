// The program icon as pixels, for toolkits that take images rather than an .ico resource. The
// images are those of accessurl.ico; tools/make_icon.py writes both.
#pragma once

struct ProgramIconImage {
  int size;                   // width and height in pixels
  const unsigned char* rgba;  // size * size pixels of 4 bytes, straight alpha, rows top to bottom
};

extern const ProgramIconImage kProgramIconImages[];
extern const int kProgramIconImageCount;
