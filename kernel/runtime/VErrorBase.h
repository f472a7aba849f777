#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "bags_xml/StBagKeyNoDefault.h"
#include "runtime/platform/XLinuxStackCrawl.h"

#include <map>

namespace qirn {

class ILocalizer;
class VJSONObject;
class VValueBag;

// Element names of errors saved in bags.
namespace ErrorBagKeys {
extern const StBagKeyNoDefault parameters;
extern const StBagKeyNoDefault error;
extern const StBagKeyNoDefault error_stack;
} // namespace ErrorBagKeys

// Signatures of wrapped platform errors.
constexpr OsType kCOMPONENT_SIGNATURE_CARBON = 'CARB';
constexpr OsType kCOMPONENT_SIGNATURE_POSIX = 'POSX';
constexpr OsType kCOMPONENT_SIGNATURE_MACH = 'MACH';
constexpr OsType kCOMPONENT_SIGNATURE_COCOA = 'COCO';

// A raised error: its code, the task that built it and named parameters kept
// in a JSON object ("errCode", "componentSignature", "message", "p1"...).
class VErrorBase : public VObject, public IRefCountable {
public:
	// Code 0, no task, no parameters: the blank an error is loaded into.
	VErrorBase();
	// Records the current task and sets "errCode" and "componentSignature".
	explicit VErrorBase(VError inError);
	// Records the current task and keeps inParameters (retained) as they are;
	// null gives an empty object.
	VErrorBase(VError inError, VJSONObject* inParameters);
	// The parameters are a deep copy.
	VErrorBase(const VErrorBase& inOther);
	VErrorBase& operator=(const VErrorBase&) = delete;
	~VErrorBase() override;

	// An error from its JSON form: "componentSignature" (text) and "errCode"
	// (number), written into inParameters with defaults when missing. The
	// caller owns the one reference.
	static VErrorBase* Create(VJSONObject* inParameters, OsType inDefaultSignature);

	VError GetError() const { return fError; }
	VJSONObject* GetParameters() const { return fParameters.Get(); }

	// Parameters; numbers are stored as JSON numbers.
	void SetString(const VString& inName, const VString& inValue);
	void SetLong(const VString& inName, int32 inValue);
	void SetLong8(const VString& inName, int64 inValue);
	// Sets "message", the description that wins over every other source.
	void SetDescription(const VString& inDescription);
	// Keeps the current description as "message" unless one is set.
	void FreezeDescription();

	// Text forms.
	virtual void GetErrorString(VString& outText) const;
	virtual void GetErrorDescription(VString& outText) const;
	virtual void GetActionDescription(VString& outText) const;
	virtual void GetLocation(VString& outText) const;
	virtual void GetTaskName(VString& outName, int32* outTaskID = nullptr) const;
	virtual void DumpToString(VString& outText) const;
	using VObject::DebugDump;
	// The dump cut to the buffer: UTF-16 while the process object exists,
	// a short UTF-8 line before. ioSize never grows beyond the room given.
	CharSet DebugDump(char* ioBuffer, int32& ioSize) const override;
	// The stack is not captured when an error is built: the text is left as
	// it is unless frames were loaded.
	void GetStackCrawl(VString& ioText) const;

	// A new object (one reference for the caller): "errCode",
	// "componentSignature" and "message".
	VJSONObject* CreateJSONObject() const;

	// Bag form: "error_code", "task_id", "task_name" and the parameters as
	// the element "parameters". Loading takes what the bag has; an absent
	// name clears the name.
	VError SaveToBag(VValueBag& ioBag) const;
	VError LoadFromBag(const VValueBag& inBag);

	// Registry of the localizers of error messages, per component signature.
	// Filled during start-up, before other tasks run, and read afterwards.
	static void RegisterLocalizer(OsType inSignature, ILocalizer* inLocalizer);
	static void UnregisterLocalizer(OsType inSignature);
	static ILocalizer* GetLocalizer(OsType inSignature);
	// Asks the localizer for the message of the code and fills its named
	// placeholders from the parameters; false (text cleared) when there is
	// none. Code 0 answers true and leaves the text.
	bool CallLocalizer(ILocalizer* inLocalizer, VError inError, VString& ioText) const;

	// Native errors (platform codes wrapped under their signature) to kernel
	// codes through the native table.
	static VError EncodedNativeErrorToVError(VError inNativeError, VError inDefaultError);
	static VError MAC_MapCarbonErrorToVError(int32 inOsStatus);

	static const VString sKeyComponentSignature;
	static const VString sKeyErrCode;
	static const VString sKeyMessage;

protected:
	// The platform's text of a wrapped platform error; empty when it has none.
	static void _GetNativeDescription(VError inError, VString& outText);

private:
	void _RecordCurrentTask();
	VJSONObject* _Parameters();

	VError fError = VE_OK;
	int32 fTaskID = 0;
	VString fTaskName;
	VRefPtr<VJSONObject> fParameters;
	XLinuxStackCrawl fStackCrawl;

	static std::map<OsType, ILocalizer*> sLocalizers;
};

// An error described by a text from elsewhere.
class VErrorImported : public VErrorBase {
public:
	VErrorImported(VError inError, const VString& inDescription) : VErrorBase(inError), fDescription(inDescription) {}

	void GetErrorDescription(VString& outText) const override { outText.FromString(fDescription); }
	void GetLocation(VString& outText) const override;
	void DumpToString(VString& outText) const override { outText.FromString(fDescription); }

private:
	VString fDescription;
};

// An error whose description is the user's message.
class VErrorUserGenerated : public VErrorBase {
public:
	VErrorUserGenerated(VError inError, const VString& inMessage) : VErrorBase(inError), fMessage(inMessage) {}

	void GetErrorDescription(VString& outText) const override { outText.FromString(fMessage); }
	void DumpToString(VString& outText) const override { outText.FromString(fMessage); }

private:
	VString fMessage;
};

} // namespace qirn
