#include "core/LocalizeString.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

TEST(LocalizeString, WithoutALocalizerTheFallbackIsTheText)
{
	const char* fallback = "More information is available in the log file '{LogFilePath}'";
	EXPECT_TRUE(LocalizeString(VString("LogFileSentence"), fallback).EqualToStringRaw(VString(fallback)));
	EXPECT_TRUE(LocalizeString(VString("x"), "caf\xC3\xA9").EqualToStringRaw(VString(u"caf\u00E9")));
	EXPECT_TRUE(LocalizeString(VString("LogFileSentence")).IsEmpty());
}

} // namespace
} // namespace qirn
