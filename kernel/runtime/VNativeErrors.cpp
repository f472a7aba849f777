#include "runtime/VErrorBase.h"

namespace qirn {

namespace {

struct NativeErrorRow {
	VError fNative;
	VError fKernel;
};

constexpr VError Carbon(int32 inStatus)
{
	return MAKE_VERROR(kCOMPONENT_SIGNATURE_CARBON, inStatus);
}

constexpr VError Posix(int32 inErrno)
{
	return MAKE_VERROR(kCOMPONENT_SIGNATURE_POSIX, inErrno);
}

constexpr VError Kernel(int32 inNumber)
{
	return MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, inNumber);
}

// Searched from the top; the last row ends it. The Carbon rows serve codes
// that come back from stored error bags.
constexpr NativeErrorRow kNativeErrors[] = {
	{0, 0},
	{Carbon(-108), Kernel(100)}, // out of memory
	{Carbon(-39), Kernel(200)},	 // end of file
	{Carbon(-34), Kernel(658)},	 // disk full
	{Carbon(-43), Kernel(600)},	 // file not found
	{Carbon(-120), Kernel(650)}, // folder not found
	{Carbon(-45), Kernel(5)},	 // file locked
	{Carbon(-46), Kernel(5)},	 // volume locked
	{Carbon(-192), Kernel(401)}, // resource not found
	{Carbon(-37), Kernel(614)},	 // bad name
	{Carbon(-54), Kernel(5)},	 // permission denied
	{Carbon(-128), Kernel(6)},	 // cancelled by the user
	{Posix(2), Kernel(600)},	 // ENOENT
	{Posix(13), Kernel(5)},		 // EACCES
	{0, VE_UNKNOWN_ERROR},		 // end
};

constexpr size_t kEndRow = sizeof(kNativeErrors) / sizeof(kNativeErrors[0]) - 1;

// The row of the code before the end; kEndRow when there is none.
size_t FindRow(VError inNative)
{
	size_t row = 0;
	while (row < kEndRow && kNativeErrors[row].fNative != inNative)
		++row;
	return row;
}

} // namespace

VError VErrorBase::EncodedNativeErrorToVError(VError inNativeError, VError inDefaultError)
{
	const OsType signature = COMPONENT_FROM_VERROR(inNativeError);
	if (signature == kCOMPONENT_SIGNATURE_CARBON || signature == kCOMPONENT_SIGNATURE_POSIX) {
		const size_t row = FindRow(inNativeError);
		return row < kEndRow ? kNativeErrors[row].fKernel : inDefaultError;
	}
	if ((signature == kCOMPONENT_SIGNATURE_MACH || signature == kCOMPONENT_SIGNATURE_COCOA) &&
		ERRCODE_FROM_VERROR(inNativeError) != 0)
		return inDefaultError;
	return inNativeError == VE_UNKNOWN_ERROR ? inDefaultError : inNativeError;
}

VError VErrorBase::MAC_MapCarbonErrorToVError(int32 inOsStatus)
{
	if (inOsStatus == 0)
		return VE_OK;
	const VError native = Carbon(inOsStatus);
	const size_t row = FindRow(native);
	return row < kEndRow ? kNativeErrors[row].fKernel : native;
}

} // namespace qirn
