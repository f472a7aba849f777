#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VEmpty.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VUUID.h"
#include "core/VValueInfo.h"
#include "core/VWord.h"
#include "process/VProcess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

namespace qirn {
namespace {

TEST(ValueKinds, RegistryCreatesByKind)
{
	struct Case {
		uint16 fKind;
		bool fExists;
	};
	const Case cases[] = {{0, true}, {1, true}, {2, true}, {3, true}, {4, true}, {5, true},
						  {6, true}, {8, true}, {9, true}, {13, true}, {7, false}, {106, false}, {12345, false}};
	for (const Case& c : cases) {
		std::unique_ptr<VValue> value(VValue::NewValueFromValueKind(c.fKind));
		EXPECT_EQ(value != nullptr, c.fExists) << c.fKind;
		if (value != nullptr) {
			EXPECT_EQ(value->GetValueInfo()->GetKind(), c.fKind);
		}
	}
	std::unique_ptr<VValue> empty(VValue::NewValueFromValueKind(0));
	EXPECT_TRUE(empty->IsNull());
	std::unique_ptr<VValue> zero(VValue::NewValueFromValueKind(4));
	EXPECT_FALSE(zero->IsNull());
	EXPECT_EQ(static_cast<VLong*>(zero.get())->Get(), 0);
}

// A kind that overrides nothing.
class VBare : public VValueSingle {
public:
	VBare* Clone() const override { return new VBare(*this); }
	int fNullChanges = 0;
	int fDirtyChanges = 0;

protected:
	void DoNullChanged() override { ++fNullChanges; }
	void DoDirtyChanged() override { ++fDirtyChanges; }
};

TEST(ValueKinds, DefaultDescriptorIsRegisteredOnFirstUse)
{
	// Whether another test asked for it first or not, a value that asks for
	// the base descriptor finds it registered afterwards. That it is absent
	// before is seen by the probe below, in a process of its own.
	VBare bare;
	const VValueInfo* info = bare.GetValueInfo();
	EXPECT_EQ(info->GetKind(), 65535);
	EXPECT_EQ(VValue::ValueInfoFromValueKind(65535), info);
}

// The probe looks kind 65535 up from several threads while its main thread
// registers it by asking for it; the thread sanitizer build watches the race.
TEST(ValueKinds, DefaultDescriptorIsAbsentUntilFirstUseAndLookupsMayRaceIt)
{
	FILE* pipe = ::popen("'" QIRN_PROBE_DIR "/qirn_probe_valuekinds'", "r");
	ASSERT_NE(pipe, nullptr);
	std::string output;
	char line[256];
	while (std::fgets(line, sizeof(line), pipe) != nullptr)
		output += line;
	EXPECT_EQ(::pclose(pipe), 0);
	EXPECT_EQ(output, "before=absent after=registered seen=registered\n");
}

TEST(ValueKinds, NullAndDirtyFlags)
{
	VBare value;
	value.SetDirty(false);
	value.fDirtyChanges = 0;
	value.SetNull(true);
	EXPECT_EQ(value.fNullChanges, 1);
	EXPECT_EQ(value.fDirtyChanges, 1);
	EXPECT_TRUE(value.IsNull());
	EXPECT_TRUE(value.IsDirty());
	value.SetNull(true);
	EXPECT_EQ(value.fNullChanges, 1);
	EXPECT_EQ(value.fDirtyChanges, 1);

	EXPECT_EQ(VValue::InvertCompResult(CR_EQUAL), CR_EQUAL);
	EXPECT_EQ(VValue::InvertCompResult(CR_SMALLER), CR_BIGGER);
	EXPECT_EQ(VValue::InvertCompResult(CR_UNRELEVANT), CR_UNRELEVANT);
}

TEST(ValueKinds, DefaultsOfASingleValue)
{
	VBare bare;
	EXPECT_EQ(bare.GetLong(), 0);
	EXPECT_EQ(bare.GetReal(), 0.0);
	VString text("something");
	bare.GetString(text);
	EXPECT_TRUE(text.IsEmpty());
	VUUID id(true);
	bare.GetVUUID(id);
	EXPECT_TRUE(id.IsNull());
	EXPECT_EQ(bare.CompareTo(VLong(1)), CR_UNRELEVANT);

	VEmpty empty;
	EXPECT_EQ(empty.CompareTo(empty), CR_UNRELEVANT);
	EXPECT_FALSE(empty.EqualTo(empty));
	EXPECT_FALSE(empty.CanBeEvaluated());
	std::unique_ptr<VValueSingle> clone(empty.Clone());
	EXPECT_TRUE(clone->IsNull());
}

// A value's dump is its text, cut to the room, in UTF-16; nothing is written
// while there is no process object.
TEST(ValueKinds, DebugDumpWritesTheValuesText)
{
	VLong number(-42);
	VString text("hello");
	VUUID id{VString("0123456789ABCDEF0123456789ABCDEF")};
	// A kind whose text is longer than the 1,024 bytes a dump is offered.
	class VWordy : public VBare {
	public:
		void GetString(VString& outValue) const override
		{
			outValue.Clear();
			for (int i = 0; i < 700; ++i)
				outValue.AppendUniChar(static_cast<UniChar>('a' + i % 26));
		}
	} wordy;
	VString wordyText;
	wordy.GetString(wordyText);
	struct Case {
		const char* fName;
		const VValueSingle& fValue;
		std::string fDump;
	};
	const Case cases[] = {
		{"long", number, "-42"},
		{"string", text, "hello"},
		{"UUID", id, "0123456789ABCDEF0123456789ABCDEF"},
		{"text longer than the room", wordy, to_string(wordyText).substr(0, 512)},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VString dump("old");
		c.fValue.DebugDump(dump);
		EXPECT_EQ(to_string(dump), c.fDump);
		EXPECT_EQ(to_string(Printf("[%V]", &c.fValue)), "[" + c.fDump + "]");
	}

	alignas(2) char units[8];
	int32 size = 7;
	EXPECT_EQ(number.DebugDump(units, size), VTC_UTF_16);
	EXPECT_EQ(size, 6) << "three whole units fit in seven bytes";
	EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(units), 3), u"-42");

	VProcess* process = VProcess::sInstance.exchange(nullptr);
	size = sizeof(units);
	EXPECT_EQ(number.DebugDump(units, size), VTC_UTF_16);
	VProcess::sInstance = process;
	EXPECT_EQ(size, 0);
}

TEST(ValueKinds, ConvertTo)
{
	VLong source(42);
	std::unique_ptr<VValueSingle> real(source.ConvertTo(6));
	ASSERT_NE(real, nullptr);
	EXPECT_EQ(real->GetReal(), 42.0);
	EXPECT_FALSE(real->IsNull());

	source.SetNull(true);
	std::unique_ptr<VValueSingle> nullWord(source.ConvertTo(3));
	ASSERT_NE(nullWord, nullptr);
	EXPECT_TRUE(nullWord->IsNull());

	EXPECT_EQ(source.ConvertTo(106), nullptr);
	EXPECT_EQ(source.ConvertTo(7), nullptr);
}

TEST(ValueKinds, ReplacingAndRemovingADescriptor)
{
	{
		VValueInfo_default<VLong, 4> replacement(4, 4000);
		EXPECT_EQ(VValue::ValueInfoFromValueKind(4000), &replacement);
	}
	EXPECT_EQ(VValue::ValueInfoFromValueKind(4000), nullptr);
	EXPECT_EQ(VValue::ValueInfoFromValueKind(4), &VLong::sInfo);
}

} // namespace
} // namespace qirn
