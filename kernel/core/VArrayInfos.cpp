// The descriptors of the array kinds, in one file so that they register in
// a known order.
#include "core/VArrayBlob.h"
#include "core/VArrayBoolean.h"
#include "core/VArrayByte.h"
#include "core/VArrayDuration.h"
#include "core/VArrayImage.h"
#include "core/VArrayLong.h"
#include "core/VArrayLong8.h"
#include "core/VArrayReal.h"
#include "core/VArrayString.h"
#include "core/VArrayTime.h"
#include "core/VArrayWord.h"

namespace qirn {

const VValueInfo_array<VArrayBoolean, 100, uint8> VArrayBoolean::sInfo;
const VValueInfo_array<VArrayByte, 101, sBYTE> VArrayByte::sInfo;
const VValueInfo_array<VArrayWord, 102, sWORD> VArrayWord::sInfo;
const VValueInfo_array<VArrayLong, 103, sLONG> VArrayLong::sInfo;
const VValueInfo_array<VArrayLong8, 104, sLONG8> VArrayLong8::sInfo;
const VValueInfo_array<VArrayReal, 105, Real> VArrayReal::sInfo;
const VValueInfo_array<VArrayTime, 107, uLONG8> VArrayTime::sInfo;
const VValueInfo_array<VArrayDuration, 108, sLONG8> VArrayDuration::sInfo;
const VValueInfo_array<VArrayString, 109, VString*> VArrayString::sInfo;
const VValueInfo_array<VArrayImage, 111, VValueSingle*> VArrayImage::sInfo;
const VValueInfo_array<VArrayBlob, 110, VBlob*> VArrayBlob::sInfo;

} // namespace qirn
