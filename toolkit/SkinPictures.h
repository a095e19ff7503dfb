// The skin's pictures come in sets drawn for 100, 150 and 200 % (96, 144 and
// 192 DPI). A window at another scale takes the nearest set drawn for a
// larger scale (the 200 % set above 200 %) and resamples it by area, so the
// picture stays sharp. Pictures with a key colour (its bottom-left pixel)
// keep it exact: every pixel is either wholly the key colour or never it,
// and a pixel is the key colour where less than half of what it covers was.
// The sets are data files: "main_logo.bmp" of the 150 % set is
// "skin150/main_logo.bmp"; the 100 % set has the plain names.
#pragma once

#include <windows.h>

#include <string>

#include "toolkit/Bitmap.h"

namespace tk {

// The set (100, 150 or 200) drawn for the scale nearest above that DPI.
int SkinSetFor(int dpi);
// The data file name of a picture in a set.
std::string SkinSetFile(const std::string& file, int setPercent);

// Area-averaged resampling to the given size. With `keyed`, the picture's
// bottom-left pixel is its key colour and stays exact as said above.
Bitmap ResamplePicture(const Bitmap& picture, int width, int height, bool keyed);

// How a set's data file becomes a picture (Bitmap::FromFile by default).
using PictureDecoder = Bitmap (*)(const std::string& dataFile);
Bitmap DecodePictureFile(const std::string& dataFile);

// The picture `file` for a window at `dpi`. `design`, when given, is the
// control the picture was drawn for, in 96-DPI units: a picture of that
// control's size at its set's scale comes out at the control's size at this
// DPI (the layout's rounding rule); any other picture is scaled by the ratio
// of the DPIs. A set that lacks the file falls back to the next smaller one.
Bitmap LoadSkinPicture(const std::string& file, int dpi, const RECT* design, bool keyed,
                       PictureDecoder decode = &DecodePictureFile);

}  // namespace tk
