#pragma once

#include "imaging/image_buffer.h"
#include "message/ano_record.h"
#include "message/photo_content.h"

#include <string>
#include <vector>

class CWave;

// Shared makers for the message tests: small pictures, records of every kind
// and a content that uses every field of the file.
namespace msgtest {

// A 24-bit picture whose pixels follow a gradient, so decoded copies can be compared.
CImageBuffer MakePicture(int width, int height, int pixelType = PixelType::Bgr24);

// Minimal RIFF/WAVE bytes.
std::vector<uint8_t> WaveBytes(size_t samples);
// A WAV file the sound reader reads: n ramp samples, 8-bit mono at 11025.
std::vector<uint8_t> PlayableWaveBytes(size_t samples);
// n sample bytes, each unlike its neighbours, so that what was played or
// recorded can be compared byte for byte.
std::vector<uint8_t> SampleRamp(size_t n, unsigned step = 7);
// Every block's bytes of a sound, in order.
std::vector<uint8_t> SoundSamples(const CWave& wave);

// A fixed date.
SYSTEMTIME Date(int y, int mo, int d, int h, int mi, int s);

// A record of each content kind with every field set; the image record's
// attachment and thumbnail are made from fixed bytes, not by encoding, so
// that writing it is byte-for-byte repeatable.
CAnoRecord TextRecord(const std::string& text, const CAreaMarquee& area);
CAnoRecord SoundRecord(const std::vector<uint8_t>& wave, const CAreaMarquee& area);
CAnoRecord ImageRecord(const std::vector<uint8_t>& jpeg, const CAreaMarquee& area);

// A content with a photograph, comments of every kind and area at depths
// 0, 1, 2, 0, 1, a profile, an information text and value, locked, picture state 2.
CAPhotoContent FullContent(const std::vector<uint8_t>& photoJpeg, const std::vector<uint8_t>& attachJpeg);

// Field-for-field comparison; an empty string when equal, else what differs.
std::string CompareRecords(const CAnoRecord& a, const CAnoRecord& b);
// Photographs that went through JPEG once are compared within a tolerance.
std::string CompareContents(const CAPhotoContent& a, const CAPhotoContent& b, int photoTolerance = 0);
bool SamePixels(const CImageBuffer& a, const CImageBuffer& b, int tolerance = 0);

// Writes and reads through memory.
std::vector<uint8_t> WriteMessage(CAPhotoContent& content);
void ReadMessage(const std::vector<uint8_t>& bytes, CAPhotoContent& content, bool whole = true);

} // namespace msgtest
