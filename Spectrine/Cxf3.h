// Measurement data: the measured and target colours a display profile was built from, with the
// display parameters of the build, kept as a CxF3-shaped XML text in a private tag of the profile.
//
// Tag KVCxfTagSignature ('SCxF'): the type signature 'utf8', four zero bytes, then the UTF-8 text
// (a trailing NUL is ignored). The text:
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <CxF version="3.0">
//     <Resources>
//       <ObjectCollection Name="Measurement">          one per colour set, in the order added
//         <Object Id="1"><ColorCIEXYZ X="41.2" Y="21.3" Z="1.9"/></Object>
//         ...                                          ColorRGB R G B, ColorCIExyY Y x y
//       </ObjectCollection>
//       <ObjectCollection Name="Target">
//         <Object Id="1"><ColorRGB R="255" G="0" B="0"/></Object>
//       </ObjectCollection>
//     </Resources>
//     <CustomResources>
//       <CustomAttributes>
//         <Attribute Name="AppName" Value="..."/>
//       </CustomAttributes>
//       <DisplayParameters>                            each element only when set
//         <ToneCurve GammaType="0" Gamma="2.2"/>       Custom: Gamma A B C D; other types GammaType only
//         <WhitePoint Type="0" Illuminant="2"/>        Type="1": the native white, the measured
//                                                      patch of target (255, 255, 255)
//         <TargetLuminosity Value="250"/>  <ContrastRatio Value="0"/>  <BlackLuminance Value="0"/>
//         <Ambient Value="0"/>  <HasInternalLUTs Value="false"/>  <InitialPatchSets Value="3"/>
//         <IterativeGridPoints Value="2"/>  <ProfileVersion Value="4"/>  <ProfileType Value="1"/>
//       </DisplayParameters>
//     </CustomResources>
//   </CxF>
//
// Every colour of one set is in one colour space. Numbers use "." and as many digits as give the
// value back exactly. Unmarshalling takes the measured colours from the set "Measurement" and the
// targets from the set "Target" (equal counts), and needs the display parameters; unknown
// elements are skipped. The parameters' 'meta' dictionary is not part of the text.
#pragma once

#include "Spectrine/Base.h"
#include "Spectrine/Colors.h"
#include "Spectrine/DisplayParams.h"
#include "Spectrine/NameValueMaps.h"
#include "Spectrine/Profiles.h"

extern "C" {

typedef struct KVCxf3Stream* KVCxf3StreamRef;
typedef struct KVCxf3ProcessFileParams* KVCxf3ProcessFileParamsRef;

constexpr std::uint32_t KVCxfTagSignature = KVTagSignature("SCxF");

// The measurement text of the profile at `path`; KVErrorTagNotFound when it has none.
KVUniStringRef KVProfileGetCxfDataBuffer(KVUniStringRef path, KVStatus* status);

// A stream collects colour sets, custom attributes and display parameters for KVCxf3WriteStream,
// and is the working context of the unmarshalling calls. Closing a null stream reports
// KVErrorInvalidArgument.
KVCxf3StreamRef KVCxf3OpenStream(KVStatus* status);
void KVCxf3CloseStream(KVCxf3StreamRef stream, KVStatus* status);

// Options of the unmarshalling; the engine has only the default ones.
KVCxf3ProcessFileParamsRef KVCxf3ProcessFileParamsCreate(KVStatus* status);
void KVCxf3ProcessFileParamsRelease(KVCxf3ProcessFileParamsRef params);

// Reads a measurement text. On success: the measured and target charts (release each with
// KVReleaseChart and `count`), their count and new display parameters. `errorText` is always a
// new string (release it): empty on success, what went wrong otherwise (KVErrorInvalidData).
void KVDataUnmarshalFromCxf3(KVCxf3StreamRef stream, KVUniStringRef text, KVCxf3ProcessFileParamsRef processParams,
                             KVColorRef** measurements, KVColorRef** targets, std::int32_t* count,
                             KVProfileDisplayParamsRef* displayParams, KVUniStringRef* errorText, KVStatus* status);

// The same reading for display data with flare: besides the charts and parameters, the indices in
// the charts of the white (255, 255, 255), black (0, 0, 0), red, green and blue targets (-1 when
// absent), the flare (the luminance Y of the measured black, 0 without one) and the number of
// other neutral targets (the grey ramp). Null outputs other than the charts, count and parameters
// are skipped.
void KVDisplayDataWithFlareUnmarshalFromCxf3(KVCxf3StreamRef stream, KVUniStringRef text, KVColorRef** measurements,
                                             KVColorRef** targets, std::int32_t* count, std::int32_t* whiteIndex,
                                             std::int32_t* blackIndex, std::int32_t* redIndex,
                                             std::int32_t* greenIndex, std::int32_t* blueIndex, double* flare,
                                             KVProfileDisplayParamsRef* displayParams, std::int32_t* greyCount,
                                             KVStatus* status);

// Adds a colour set of copies of the chart's colours under `name` (unique in the stream; the
// colours all in one space). `params` names the parameters the colours belong to and may be null;
// it adds nothing to the set. `setIndex` receives the set's position in the stream.
void KVCxf3AddColors(KVCxf3StreamRef stream, KVUniStringRef name, const KVColorRef* chart, std::int32_t count,
                     KVProfileDisplayParamsRef params, std::int32_t* setIndex, KVStatus* status);
// Custom attributes and display parameters of the text; each call replaces the earlier one.
void KVCxf3AddCustomAttributes(KVCxf3StreamRef stream, KVNameValueMapRef attributes, KVStatus* status);
void KVCxf3AddProfileParams(KVCxf3StreamRef stream, KVProfileDisplayParamsRef params, KVStatus* status);
// The text of what the stream holds: UTF-8, `length` bytes plus a terminating NUL, owned by the
// stream and valid until its next write or its closing.
void KVCxf3WriteStream(KVCxf3StreamRef stream, const char** text, std::size_t* length, KVStatus* status);

}  // extern "C"
