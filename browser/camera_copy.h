#pragma once

#include "platform/types.h"

#include <string>

class CFile;
class CImageBuffer;
class CWnd;

// Camera copies: JPEG copies of pictures that a camera plays back, named in
// the camera's own scheme (PICT0001.JPG) and carrying an Exif block made
// from the program's template picture, which a camera accepts as its own.

// The template picture: resource "JPEG" 1073.
inline constexpr UINT kCameraTemplateId = 1073;
// The first name the copies suggest.
inline constexpr const char* kFirstCameraName = "PICT0001";

// The local time now as an Exif date: "YYYY:MM:DD hh:mm:ss".
std::string ExifDateNow();
// True when the file name is "PICT", four digits and the extension "JPG",
// in any letter case.
bool IsCameraName(const std::string& path);
// The name that follows a saved copy's path: the same folder, "PICT" and the
// copy's last four digits plus one.
std::string NextCameraName(const std::string& savedPath);

// The Exif block of a copy, made from the template picture's for the kind of
// file the copy is (kExifJpeg: with a 160 x 120 thumbnail of the picture;
// kExifTiff: without) and written to target. The date taken is the shooting
// date when one is given, else now; the last change and the digitising are
// now. Answers the bytes written: 0 when the template has no Exif block that
// reads or the kind is neither.
DWORD BuildCameraExif(CFile& templ, CFile& target, const CImageBuffer& image, const std::string& shootingDate,
                      int kind);

// One copy of the picture at source: loads it, asks for the copy's name
// (suggestion: a path without extension) until the name is a camera name, and
// writes it. True when the copy was written; suggestion is then the copy's
// path. A picture that does not load, a cancelled dialog or a failed save
// answer false, with the user told why (but for a cancel).
bool SaveCameraCopy(CWnd* parent, const std::string& source, std::string& suggestion);
