#pragma once

#include "platform/types.h"

#include <string>
#include <vector>

class CWnd;
struct ImageSaveValues;

// How Resize All ended.
enum class ResizeAllResult {
    kNothing,   // a dialog was cancelled or the size was the first picture's own
    kRefused,   // the folder or the names were refused before anything was written
    kStopped,   // a picture failed or the user cancelled; the pictures before it are written
    kDone,      // every picture written
};

// The name a resized copy takes in the target folder: the source's own name,
// or with renaming the name base and the serial number (the first number
// counted on, as wide as it was typed), with the extension of the chosen type.
std::string ResizeAllTargetName(const std::string& sourcePath, const std::string& extension, bool changeName,
                                const std::string& nameBase, const std::string& firstNumber, int position);

// Tools/Resize All: asks for the size (proportions of the first picture) and
// the target folder with its file type, then writes a resized copy of every
// picture (item store indexes, in gallery order) into that folder, each
// behind the loading and saving progress dialogs, either of which cancels the
// rest. Into the pictures' own folder the copies replace the originals.
// Nothing is written when two pictures would land on one name or one would
// land on another of the pictures, or when the user declines to replace the
// files already there; every copy is written whole beside its target and
// renamed over it, so an original or an earlier file is never left
// half-written. Each file written is added to written when given.
ResizeAllResult ResizeAllPictures(CWnd* parent, const std::vector<int>& items,
                                  std::vector<std::string>* written = nullptr);

// One picture of Resize All (item store index): decoded, fitted into the
// bound keeping its proportions, and written to target by the exporter of its
// extension. With reducedDecode a JPEG file is decoded at the largest DCT
// reduction that still covers the fitted size. Resize All decodes whole: the
// reduction averages away fine grain that the resampling of the whole picture
// keeps, so on a camera photograph its copies would differ visibly from the
// ones the program makes (about 33 dB). False after telling the user why.
bool ResizeOnePicture(CWnd* parent, int index, const std::string& target, CSize bound, int method, bool eightBits,
                      int quality, const ImageSaveValues& values, bool reducedDecode = false);

// The interpolation chosen last (0 bilinear, 1 bicubic), for the program's run.
int GetResizeAllInterpolation();
void SetResizeAllInterpolation(int method);
