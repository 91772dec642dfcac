// A-law and mu-law companding (module kvolaw).
#include <cstdint>

#include "frame/check.h"
#include "kernels/vector/law.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvolaw";

using kvo::Checks;
using kvo::Site;
using kvo::kern::ALaw;
using kvo::kern::MuLaw;
using Code = std::uint8_t;
namespace kern = kvo::kern;

bool checked(const Site& s, int len, const void* src, const void* dst) {
  return Checks(s).positive(len, "len<=0").notNull(src, "src==0").notNull(dst, "dst==0").ok();
}

template <class Law, class In>
void encode(const Site& s, const In* src, Code* dst, int len) {
  if (checked(s, len, src, dst)) kern::encode<Law>(src, dst, len);
}

template <class Law, class Out>
void decode(const Site& s, const Code* src, Out* dst, int len) {
  if (checked(s, len, src, dst)) kern::decode<Law>(src, dst, len);
}

void transcode(const Site& s, const kern::TranscodeTable& table, const Code* src, Code* dst,
               int len) {
  if (checked(s, len, src, dst)) kern::transcode(table, src, dst, len);
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvowbLinToALaw(const short* src, Code* dst, int len) {
  encode<ALaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvowbLinToMuLaw(const short* src, Code* dst, int len) {
  encode<MuLaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvoibLinToALaw(const int* src, Code* dst, int len) {
  encode<ALaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvoibLinToMuLaw(const int* src, Code* dst, int len) {
  encode<MuLaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvosbLinToALaw(const float* src, Code* dst, int len) {
  encode<ALaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvosbLinToMuLaw(const float* src, Code* dst, int len) {
  encode<MuLaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvodbLinToALaw(const double* src, Code* dst, int len) {
  encode<ALaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvodbLinToMuLaw(const double* src, Code* dst, int len) {
  encode<MuLaw>(KVO_SITE, src, dst, len);
}

KVO_API void KVO_CALL kvowbALawToLin(const Code* src, short* dst, int len) {
  decode<ALaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvowbMuLawToLin(const Code* src, short* dst, int len) {
  decode<MuLaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvoibALawToLin(const Code* src, int* dst, int len) {
  decode<ALaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvoibMuLawToLin(const Code* src, int* dst, int len) {
  decode<MuLaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvosbALawToLin(const Code* src, float* dst, int len) {
  decode<ALaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvosbMuLawToLin(const Code* src, float* dst, int len) {
  decode<MuLaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvodbALawToLin(const Code* src, double* dst, int len) {
  decode<ALaw>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvodbMuLawToLin(const Code* src, double* dst, int len) {
  decode<MuLaw>(KVO_SITE, src, dst, len);
}

KVO_API void KVO_CALL kvoMuLawToALaw(const Code* src, Code* dst, int len) {
  transcode(KVO_SITE, kern::kMuLawToALaw, src, dst, len);
}
KVO_API void KVO_CALL kvoALawToMuLaw(const Code* src, Code* dst, int len) {
  transcode(KVO_SITE, kern::kALawToMuLaw, src, dst, len);
}

}  // extern "C"
