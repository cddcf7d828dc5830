#pragma once

#include "message/ano_record.h"
#include "platform/types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CFile;
class CArchive;

// An annotation text file: a small tagged text that names a main picture and,
// for areas of it, linked sound and image files. Opening one makes a new
// message whose comments are the linked files.
//
// The file sits in a folder of its own named like the file, below a root
// folder that holds the linked files. References are followed only to files
// inside that root, so that a file handed to us cannot pull arbitrary local
// files into a message that may then be mailed.
class CAnoMarkup {
public:
    enum EntryKind : int32_t { sound = 2, image = 3 };

    // Why the last Load failed.
    enum LoadError { loadOk, loadUnreadable, loadMalformed, loadNoMainPicture };

    // Reads the whole file and parses it. false when the file could not be read
    // whole, is too large for a markup file, has a malformed posLink, or names
    // no main picture that exists inside the root folder (m_nError says which).
    bool Load(CFile& file);
    bool Load(CArchive& ar);

    // Parses text as the contents of the file at filePath (the folders come
    // from the path). false on a malformed posLink.
    bool Parse(const std::string& filePath, std::string text);

    // The linked file named by a "/"-separated reference below root, or empty
    // when it does not resolve to an existing regular file inside root. A
    // leading part of the reference that repeats the end of root is dropped.
    static std::string ResolveReference(const std::string& root, std::string_view reference);

    // A sound file a comment may carry: a WAV file the sound reader reads, no
    // larger than an attachment may be.
    static bool IsAcceptableSoundFile(const std::string& path);

    static constexpr uint64_t kMaxMarkupBytes = 16u << 20;

    std::string m_strFilePath;
    std::string m_strText;
    std::string m_strMainImage;
    std::string m_strRootFolder;
    std::string m_strAnnoFolder;
    std::vector<int32_t> m_kinds;
    std::vector<CRect> m_areas;
    std::vector<std::string> m_paths;
    LoadError m_nError = loadOk;
};

// An annotation text file: extension "TXT" (any case), a name starting with
// "ANN" (this case), in a folder of the same name (any case).
bool IsAnnotationTextFile(std::string_view path);
