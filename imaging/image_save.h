#pragma once

#include "platform/types.h"

#include <functional>
#include <string>

class CExifFile;
class CFile;
class CFileException;
class CIccProfileData;
class CImageBuffer;
class CWnd;

// The four words a caller hands through to the save job: the "n/m" of the
// status line, the toggle-bar flag and the status string id.
struct ImageSaveValues {
    int index = 1;
    int count = 1;
    int toggleBar = 0;
    UINT statusStringId = 0;
};

// One save job: write the image with the three metadata blocks to the target
// path through the exporter plug-ins of the search pattern.
struct CImageSaveJob {
    CWnd* owner = nullptr;
    CImageBuffer* image = nullptr;
    const CIccProfileData* profile = nullptr;
    std::string exporterPattern;
    std::string displayPath;
    CFile* blocks[3] = {nullptr, nullptr, nullptr};
    std::string targetPath;
    ImageSaveValues values;
};

// Runs a job and answers its cancel flag: 0 when written, nonzero when it was
// cancelled or failed (the job has then told the user why, unless cancelled).
using ImageSaveJobRunner = std::function<int(CImageSaveJob&)>;
// Replaces the runner (the progress dialog installs its own); an empty one
// restores RunImageSaveJobDirectly. Returns the previous runner.
ImageSaveJobRunner SetImageSaveJobRunner(ImageSaveJobRunner runner);
// The job on the calling thread, without a dialog.
int RunImageSaveJobDirectly(CImageSaveJob& job);
// The message a failed export shows for its code.
UINT SaveFailureMessage(int exportCode);
// The message for a save that failed on the file itself: "Disk is full." or
// "Unable to save file. " with the path, and the system's reason beneath.
std::string SaveFailureText(const CFileException& e);

// The second metadata block of a save: the part of a JPEG source's first APP2
// segment in front of its profile (no source: none), then the picture's
// profile, appended to out; nothing when both are empty.
void WriteExifAndProfile(CFile& out, const CExifFile* jpegSource, const CIccProfileData* profile);
// The third block: a 68-byte record for each main tag (description, make,
// model, software, date, resolutions) that the source's first directory holds.
void CopyMainTags(CFile& out, const CExifFile& source);

// Writes the image to the target with the Exif data, colour profile and main
// tags of the source file. 0 when saved, nonzero when it failed or was cancelled.
int ExportImageWithMetadata(CWnd* owner, CImageBuffer& image, const CIccProfileData* profile,
                            const std::string& sourcePath, const std::string& targetPath,
                            const ImageSaveValues& values);
// Writes the image with the given blocks. An existing target (the source
// itself included) is replaced only once the new file is complete; a failed
// or cancelled save leaves it as it was.
int ExportImageFile(CWnd* owner, CImageBuffer& image, const CIccProfileData* profile, CFile* block1, CFile* block2,
                    CFile* block3, const std::string& sourcePath, const std::string& targetPath,
                    const ImageSaveValues& values);
// Runs the save job on the write path and, once it is saved, writes a TIFF's
// ".THM" companion; a cancelled or failed save leaves the file and its
// companion as they were. Answers the job's cancel flag.
int RunImageSave(CWnd* owner, CImageBuffer& image, const CIccProfileData* profile, const std::string& displayPath,
                 CFile* block1, CFile* block2, CFile* block3, const std::string& writePath,
                 const ImageSaveValues& values);
