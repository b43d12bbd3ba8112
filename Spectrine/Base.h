// Stand-in for the colour engine (base of every family): flat functions with the prefix KV over
// opaque handles, built on LittleCMS 2. Conventions shared by every family:
// - a status word (KVStatus) passed by pointer, as a rule last: 0 on success, one of the KVError
//   codes otherwise; a null status pointer is allowed; nothing throws;
// - each handle kind has its own release function, and every release function accepts null;
// - engine strings hold UTF-8 text; paths in them may use "\" as a separator;
// - profiles are read whole into memory and parsed from there: no file stays open;
// - files are written to a temporary file beside the target and renamed over it, so a failed write
//   leaves the target as it was;
// - a call that reports a status fails with CODE when the simulated machine asks for it
//   (`winsim fail FUNCTION CODE`), before it does anything.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

using KVStatus = std::int32_t;
constexpr KVStatus KVSuccess = 0;
constexpr KVStatus KVErrorInvalidArgument = 1;  // a null handle or an unusable argument
constexpr KVStatus KVErrorFileNotFound = 2;
constexpr KVStatus KVErrorFileRead = 3;
constexpr KVStatus KVErrorInvalidProfile = 4;   // not an ICC profile, or a truncated one
constexpr KVStatus KVErrorTagNotFound = 5;
constexpr KVStatus KVErrorNameNotFound = 6;     // no such name in the 'meta' dictionary
constexpr KVStatus KVErrorOutOfMemory = 7;
constexpr KVStatus KVErrorInvalidData = 8;      // measurement data that does not parse or does not fit together
constexpr KVStatus KVErrorUnsupported = 9;      // a conversion or value the engine does not handle
constexpr KVStatus KVErrorNotAvailable = 10;    // a value that was never set or does not apply
constexpr KVStatus KVErrorFileWrite = 11;

// Gamma types and profile types of the display-parameter family.
constexpr std::int32_t KVGammaTypeNone = -1;
constexpr std::int32_t KVGammaTypeStandard = 0;
constexpr std::int32_t KVGammaTypeCustom = 1;
constexpr std::int32_t KVGammaTypeSrgb = 2;
constexpr std::int32_t KVGammaTypeLStar = 3;
constexpr std::int32_t KVGammaTypeDicom = 4;
constexpr std::int32_t KVGammaTypeBt1886 = 5;
constexpr std::int32_t KVGammaTypeHlg = 6;
constexpr std::int32_t KVGammaTypePq = 7;
constexpr std::int32_t KVGammaTypeNative = 8;
constexpr std::int32_t KVProfileTypeNone = -1;
constexpr std::int32_t KVProfileTypeTable = 0;
constexpr std::int32_t KVProfileTypeMatrix = 1;
constexpr std::int32_t KVProfileTypeMatrixA2B = 2;
constexpr std::int32_t KVProfileTypeMatrix1DLut = 3;
constexpr std::int32_t KVProfileTypeMatrixTrcMhc2 = 4;

// Engine strings.
typedef struct KVUniString* KVUniStringRef;

// From zero-terminated wide text; null for a null text.
KVUniStringRef KVUniStringCreate(const wchar_t* text);
// From `length` wide characters (zeros included).
KVUniStringRef KVUniStringCreateFromWide(const wchar_t* text, std::size_t length);
// From zero-terminated UTF-8; null for a null text.
KVUniStringRef KVUniStringCreateFromUtf8(const char* text);
// The UTF-8 text, valid while the string lives; null for a null string.
const char* KVUniStringToUtf8(KVUniStringRef string);
void KVUniStringRelease(KVUniStringRef string);

// Releases a plain result buffer of the engine.
void KVFree(void* buffer);

}  // extern "C"
