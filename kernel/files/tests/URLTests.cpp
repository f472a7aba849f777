#include "files/VURL.h"

#include "files/VFilePath.h"
#include "files/platform/XLinuxFile.h"
#include "core/VMemory.h"

#include <gtest/gtest.h>
#include <glib.h>

#include <memory>
#include <string>

namespace qirn {
namespace {

std::string Text(const VString& inText)
{
	return to_string(inText);
}

// The six parts of a URL as UTF-8, for tables and failure messages.
struct Parts {
	std::string fScheme, fNetLoc, fPath, fParameters, fQuery, fFragment;

	bool operator==(const Parts&) const = default;
};

std::ostream& operator<<(std::ostream& ioStream, const Parts& inParts)
{
	return ioStream << "{" << inParts.fScheme << " | " << inParts.fNetLoc << " | " << inParts.fPath << " | "
					<< inParts.fParameters << " | " << inParts.fQuery << " | " << inParts.fFragment << "}";
}

Parts PartsOf(const VURL& inURL)
{
	VString scheme, netLoc, path, parameters, query, fragment;
	inURL.GetScheme(scheme);
	inURL.GetNetworkLocation(netLoc, false);
	inURL.GetPath(path, eURL_POSIX_STYLE, false);
	inURL.GetParameters(parameters, false);
	inURL.GetQuery(query, false);
	inURL.GetFragment(fragment, false);
	return {Text(scheme), Text(netLoc), Text(path), Text(parameters), Text(query), Text(fragment)};
}

std::string Absolute(const VURL& inURL, bool inEncoded)
{
	VString text;
	inURL.GetAbsoluteURL(text, inEncoded);
	return Text(text);
}

std::string Relative(const VURL& inURL, bool inEncoded)
{
	VString text;
	inURL.GetRelativeURL(text, inEncoded);
	return Text(text);
}

// ---------------------------------------------------------------------------
// Locating the parts

TEST(URL, TextsSplitIntoTheirSixParts)
{
	struct Case {
		const char* fText;
		bool fEncoded;
		bool fValid;
		Parts fParts;
	};
	// clang-format off
	const Case cases[] = {
		{"http://user:pw@host:8080/a/b;p?q=1;x#frag?;", false, true,
			{"http", "user:pw@host:8080", "a/b", "p", "q=1;x", "frag?;"}},
		{"http://host", false, false, {"http", "host", "", "", "", ""}},
		{"http://host/", false, true, {"http", "host", "", "", "", ""}},
		{"http://host?q", false, true, {"http", "host", "", "", "q", ""}},
		{"http://host?next=/a;b#c/d", false, true, {"http", "host", "", "", "next=/a;b", "c/d"}},
		{"file:///tmp/x", false, true, {"file", "", "tmp/x", "", "", ""}},
		{"a/b://c", false, false, {"", "", "a/b://c", "", "", ""}},
		{"a:b://c", false, false, {"", "", "a:b://c", "", "", ""}},
		{"mailto:ann", false, false, {"", "", "mailto:ann", "", "", ""}},
		{"", false, true, {"", "", "", "", "", ""}},
		{"http://h/p#f#g", false, true, {"http", "h", "p", "", "", "f#g"}},
		{"http://h/a%20b%3Fc;x%3Fy?k%26v#%23", true, true, {"http", "h", "a b?c", "x?y", "k&v", "#"}},
		{"http://h/%C3%A9t%C3%A9", true, true, {"http", "h", "été", "", "", ""}},
		// Decoded text is taken as it stands.
		{"http://h/a%20b", false, true, {"http", "h", "a%20b", "", "", ""}},
	};
	// clang-format on
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VURL url(VString(c.fText), c.fEncoded);
		EXPECT_EQ(url.IsValid(), c.fValid);
		EXPECT_EQ(PartsOf(url), c.fParts);
	}
}

TEST(URL, EncodedTextIsKeptOnlyWhenMadeOfURLCharacters)
{
	VURL kept(VString("http://h/a%20b?x=%C3%A9"), true);
	EXPECT_EQ(Absolute(kept, true), "http://h/a%20b?x=%C3%A9");
	EXPECT_EQ(Absolute(kept, false), "http://h/a b?x=é");

	// A space is no URL character: the encoded form is rebuilt from the parts.
	VURL rebuilt(VString("http://h/a b?x=%C3%A9"), true);
	EXPECT_EQ(Absolute(rebuilt, true), "http://h/a%20b?x=%C3%A9");

	// "about:blank" has no scheme separator and comes back as it is.
	VURL blank(VString("about:blank"), true);
	EXPECT_EQ(Absolute(blank, true), "about:blank");
	EXPECT_EQ(Absolute(blank, false), "about:blank");
}

TEST(URL, RelativeTextJoinsItsBaseWithOneSlash)
{
	struct Case {
		const char* fText;
		const char* fBase;
		const char* fURL;
	};
	const Case cases[] = {
		{"b/c", "http://h/a", "http://h/a/b/c"},
		{"b/c", "http://h/a/", "http://h/a/b/c"},
		{"/b", "http://h/a/", "http://h/a/b"},
		{"/b", "http://h/a", "http://h/a/b"},
		{"ftp://x/y", "http://h/a", "ftp://x/y"},
		{"b", "", "b"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VURL url;
		url.FromString(VString(c.fText), VString(c.fBase), false);
		EXPECT_EQ(Absolute(url, false), c.fURL);
	}
	VURL encoded;
	encoded.FromString(VString("b%20c"), VString("http://h"), true);
	EXPECT_EQ(Absolute(encoded, true), "http://h/b%20c");
	EXPECT_EQ(PartsOf(encoded).fPath, "b c");
}

// ---------------------------------------------------------------------------
// Coding

TEST(URL, EncodeEscapesBytesThatAreNoURLCharacters)
{
	struct Case {
		const char16_t* fText;
		bool fWithBrackets;
		bool fKeepUnicodeEscapes;
		const char* fEncoded;
	};
	// clang-format off
	const Case cases[] = {
		{u"a b", true, false, "a%20b"},
		{u"[x]", true, false, "%5Bx%5D"},
		{u"[x]", false, false, "[x]"},
		{u"<>\"#%{}|\\^`", false, false, "%3C%3E%22%23%25%7B%7D%7C%5C%5E%60"},
		{u":/?;@&=+$,!~*'()-._", true, false, ":/?;@&=+$,!~*'()-._"},
		{u"\t\x7F", true, false, "%09%7F"},
		{u"\u00E9", true, false, "%C3%A9"},
		{u"e\u0301", true, false, "e%CC%81"}, // decomposed text stays decomposed
		{u"\u65E5\u672C", true, false, "%E6%97%A5%E6%9C%AC"},
		{u"\U0001F600", true, false, "%F0%9F%98%80"},
		// A file name's byte that is no UTF-8 is that byte again.
		{u"a\xDCFF", true, false, "a%FF"},
		{u"\\u00e9 \\x", true, true, "\\u00e9%20%5Cx"},
		{u"\\u00e9", true, false, "%5Cu00e9"},
		{u"", true, false, ""},
	};
	// clang-format on
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fEncoded);
		VString text(c.fText);
		VURL::Encode(text, true, true, c.fWithBrackets, c.fKeepUnicodeEscapes);
		EXPECT_EQ(Text(text), c.fEncoded);
		if (!c.fKeepUnicodeEscapes) {
			EXPECT_TRUE(VURL::_ContainsOnlySafeCharacters(text));
		}
	}
}

TEST(URL, DecodeTurnsEscapeRunsBackIntoText)
{
	struct Case {
		const char* fText;
		const char16_t* fDecoded;
	};
	// clang-format off
	const Case cases[] = {
		{"%C3%A9", u"\u00E9"},
		{"%c3%a9t%C3%A9", u"\u00E9t\u00E9"},
		{"100%", u"100%"},
		{"a%2", u"a%2"},
		{"%zz%4", u"%zz%4"},
		{"%%41", u"%A"},
		{"%41%42", u"AB"},
		{"%F0%9F%98%80", u"\U0001F600"},
		// One byte alone is ISO-8859-1.
		{"%E9", u"\u00E9"},
		{"%C3", u"\u00C3"},
		// Runs that are no UTF-8 keep their escapes: a truncated sequence,
		// an encoded surrogate, an overlong form, a stray byte after a
		// character.
		{"x%C3%A9%FFy", u"x%C3%A9%FFy"},
		{"%ED%A0%80", u"%ED%A0%80"},
		{"%C0%AF", u"%C0%AF"},
		{"%E6%97", u"%E6%97"},
		{"plain", u"plain"},
	};
	// clang-format on
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VString text(c.fText);
		VURL::Decode(text);
		EXPECT_TRUE(text.EqualToStringRaw(VString(c.fDecoded))) << Text(text);
	}
	VString nul("a%00b");
	VURL::Decode(nul);
	EXPECT_EQ(nul.GetLength(), 3);
	EXPECT_EQ(nul.GetUniChar(2), 0);
}

TEST(URL, EncodingThenDecodingGivesTheTextBack)
{
	const char16_t* texts[] = {u"a b%c[d]#e?f;g", u"\u00E9t\u00E9 \u65E5\u672C \U0001F600", u"%41 100%", u"\t\n"};
	for (const char16_t* t : texts) {
		VString text(t);
		VString coded(text);
		VURL::Encode(coded, false, false, true, false);
		VURL::Decode(coded);
		EXPECT_TRUE(coded.EqualToStringRaw(text)) << Text(coded);
	}
}

// ---------------------------------------------------------------------------
// The network location

TEST(URL, NetworkLocationSplitsIntoUserPasswordHostAndPort)
{
	struct Case {
		const char* fText;
		const char* fUser;
		const char* fPassword;
		const char* fHost;
		const char* fPort;
	};
	const Case cases[] = {
		{"user:pw:x@host:80", "user", "pw:x", "host", "80"},
		{"a:b@c@host", "a", "b@c", "host", ""},
		{"user@host", "user", "", "host", ""},
		{"host", "", "", "host", ""},
		{"a:b:8080", "", "", "a:b", "8080"},
		{"[::1]:443", "", "", "::1", "443"},
		{"u@[fe80::1%25en0]", "u", "", "fe80::1%25en0", ""},
		{"[::1", "", "", "::1", ""},
		{"", "", "", "", ""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VString user("?"), password("?"), host("?"), port("?");
		VURL::ParseNetLocation(VString(c.fText), &user, &password, &host, &port);
		EXPECT_EQ(Text(user), c.fUser);
		EXPECT_EQ(Text(password), c.fPassword);
		EXPECT_EQ(Text(host), c.fHost);
		EXPECT_EQ(Text(port), c.fPort);
		VURL::ParseNetLocation(VString(c.fText), nullptr, nullptr, nullptr, nullptr);
	}

	VURL url(VString("http://ann%20b:p%40ss@h%C3%A9:8080/x"), true);
	VString text;
	url.GetUserName(text, false);
	EXPECT_EQ(Text(text), "ann b");
	url.GetUserName(text, true);
	EXPECT_EQ(Text(text), "ann%20b");
	url.GetHostName(text, false);
	EXPECT_EQ(Text(text), "hé");
	url.GetHostName(text, true);
	EXPECT_EQ(Text(text), "h%C3%A9");
	// A decoded password may hold '@': the host follows the last one.
	url.GetPassword(text, false);
	EXPECT_EQ(Text(text), "p@ss");
	url.GetPortNumber(text, false);
	EXPECT_EQ(Text(text), "8080");
}

TEST(URL, PortNumbersUpTo65536AreRead)
{
	struct Case {
		const char* fURL;
		sLONG fPort;
	};
	const Case cases[] = {
		{"http://h:80/", 80},		   {"http://h:65536/", 65536},	 {"http://h:65537/", -1},
		{"http://h:99999999999/", -1}, {"http://h:80%20/", -1},		 {"http://h:8a0/", 80},
		{"http://h/", 0},			   {"http://[::1]:443/", 443}, {"http://[::1]/", 0},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fURL);
		EXPECT_EQ(VURL(VString(c.fURL), true).GetPortNumber(), c.fPort);
	}
}

// ---------------------------------------------------------------------------
// Rebuilding

// Whatever a part holds, the encoded URL parses back to the same parts.
TEST(URL, AnEscapedSeparatorInTheSchemeMakesNoURL)
{
	for (const char* text : {"a%2Fb://h/p", "a%3ab://h/p"})
		EXPECT_FALSE(VURL(VString(text), true).IsValid()) << text;
	EXPECT_TRUE(VURL(VString("a%2Bb://h/p"), true).IsValid());
}

TEST(URL, AnEmptyQueryAfterTheHostIsKept)
{
	const VURL url(VString("http://h:80?"), false);
	ASSERT_TRUE(url.IsValid());
	VString encoded;
	url.GetAbsoluteURL(encoded, true);
	const VURL back(encoded, true);
	EXPECT_TRUE(back.IsValid());
	VString host;
	back.GetNetworkLocation(host, false);
	EXPECT_TRUE(host.EqualToStringRaw(VString("h:80")));
}

TEST(URL, EncodedURLParsesBackToTheSameParts)
{
	// clang-format off
	const Parts cases[] = {
		{"http", "h", "a?b;c#d%e[f]", "p?q;r", "k=v;w?x", "f#g?h"},
		{"http", "h", "dir/", "", "", ""},
		{"ftp", "u:p@[::1]:21", "\u00E9t\u00E9 \u65E5", "", "a b", ""},
		{"http", "h", "", "", "q", ""},
		{"http", "h", "", "", "next=/a", ""},
		{"http", "h", "", "p", "", ""},
		{"http", "h", "", "", "", "f"},
		{"http", "a/b?c", "p", "", "", ""},
		{"x y\x01%", "h", "p", "", "", ""},
	};
	// clang-format on
	for (const Parts& c : cases) {
		SCOPED_TRACE(::testing::PrintToString(c));
		VURL url;
		url.SetScheme(VString(c.fScheme.c_str()));
		url.SetNetWorkLocation(VString(c.fNetLoc.c_str()), false);
		url.SetRelativePath(VString(c.fPath.c_str()), eURL_POSIX_STYLE, false);
		if (c.fPath.find_first_of(";?#") != std::string::npos) {
			// A decoded relative text splits at its separators: set the path
			// through a file path instead.
			url.FromFilePath(VString(("/" + c.fPath).c_str()), eURL_POSIX_STYLE,
							 VString((c.fScheme + "://" + c.fNetLoc).c_str()));
		}
		url.SetParameters(VString(c.fParameters.c_str()), false);
		url.SetQuery(VString(c.fQuery.c_str()), false);
		url.SetFragment(VString(c.fFragment.c_str()), false);
		ASSERT_EQ(PartsOf(url), c);
		EXPECT_TRUE(url.IsValid());

		std::string encoded = Absolute(url, true);
		EXPECT_EQ(Relative(url, true), encoded);
		EXPECT_TRUE(VURL::_ContainsOnlySafeCharacters(VString(encoded.c_str()))) << encoded;
		VURL back(VString(encoded.c_str()), true);
		EXPECT_TRUE(back.IsValid()) << encoded;
		EXPECT_EQ(PartsOf(back), c) << encoded;
		EXPECT_EQ(Absolute(back, true), encoded);
	}
}

TEST(URL, AFileNameWithSeparatorsIsNoQuery)
{
	VURL url(VString("/tmp/a?b;c#d"), eURL_POSIX_STYLE);
	EXPECT_EQ(Absolute(url, false), "file:///tmp/a?b;c#d");
	EXPECT_EQ(Absolute(url, true), "file:///tmp/a%3Fb%3Bc%23d");
	EXPECT_EQ(PartsOf(url), (Parts{"file", "", "tmp/a?b;c#d", "", "", ""}));
	VString path;
	url.GetPath(path, eURL_POSIX_STYLE, true);
	EXPECT_EQ(Text(path), "tmp/a%3Fb%3Bc%23d");

	// Changing another part keeps the path whole.
	url.SetFragment(VString("top"), false);
	EXPECT_EQ(PartsOf(url), (Parts{"file", "", "tmp/a?b;c#d", "", "", "top"}));
	EXPECT_EQ(Absolute(url, true), "file:///tmp/a%3Fb%3Bc%23d#top");
}

TEST(URL, SettingAPartRebuildsTheText)
{
	VURL url(VString("file:///x"), false);
	url.SetQuery(VString("q"), false);
	// An empty network location adds no slash of its own.
	EXPECT_EQ(Absolute(url, false), "file:///x?q");
	url.SetQuery(VString(), false);
	EXPECT_EQ(Absolute(url, false), "file:///x");

	url.SetNetWorkLocation(VString("h%C3%A9"), true);
	EXPECT_EQ(Absolute(url, false), "file://hé/x");
	url.SetScheme(VString("http"));
	url.SetParameters(VString("a%3Fb"), true);
	EXPECT_EQ(Absolute(url, false), "http://hé/x;a?b");
	EXPECT_EQ(Absolute(url, true), "http://h%C3%A9/x;a%3Fb");

	// Without a path, a fragment needs the slash; a query does not.
	VURL host(VString("http://host"), false);
	EXPECT_FALSE(host.IsValid());
	VURL withQuery(host);
	withQuery.SetQuery(VString("q"), false);
	EXPECT_EQ(Absolute(withQuery, false), "http://host?q");
	EXPECT_TRUE(withQuery.IsValid());
	host.SetFragment(VString("f"), false);
	EXPECT_EQ(Absolute(host, false), "http://host/#f");
	EXPECT_TRUE(host.IsValid());

	// A relative text gets no scheme separator.
	VURL relative(VString("a/b"), false);
	relative.SetQuery(VString("q"), false);
	EXPECT_EQ(Absolute(relative, false), "a/b?q");
	EXPECT_FALSE(relative.IsValid());
}

TEST(URL, AChangeDropsTheEncodedTextItWasMadeFrom)
{
	VURL url(VString("http://h/a%2fb?x"), true);
	EXPECT_EQ(Absolute(url, true), "http://h/a%2fb?x");
	// The rebuilt form does not take the given one.
	EXPECT_EQ(Relative(url, true), "http://h/a/b?x");
	url.SetQuery(VString("y"), false);
	EXPECT_EQ(Absolute(url, true), "http://h/a/b?y");
}

TEST(URL, RelativePathAndResourceSpecifierAreTheTail)
{
	VURL url(VString("http://u@h/a%20b/c;p?q%3F#f"), true);
	VString text;
	url.GetRelativePath(text, eURL_POSIX_STYLE, false);
	EXPECT_EQ(Text(text), "a b/c;p?q?#f");
	url.GetRelativePath(text, eURL_POSIX_STYLE, true);
	EXPECT_EQ(Text(text), "a%20b/c;p?q?#f");
	url.GetRelativePath(text, eURL_WIN_STYLE, false);
	EXPECT_EQ(Text(text), "a b\\c;p?q?#f");
	url.GetResourceSpecifier(text, false);
	EXPECT_EQ(Text(text), "u@h/a b/c;p?q?#f");
	url.GetResourceSpecifier(text, true);
	EXPECT_EQ(Text(text), "u@h/a%20b/c;p?q?#f");

	// Setting the tail replaces the path and everything after it; escaped
	// separators stay in their part.
	url.SetRelativePath(VString("x%3Fy/z?k=v"), eURL_POSIX_STYLE, true);
	EXPECT_EQ(PartsOf(url), (Parts{"http", "u@h", "x?y/z", "", "k=v", ""}));
	url.SetRelativePath(VString("\\w\\v"), eURL_WIN_STYLE, false);
	EXPECT_EQ(PartsOf(url), (Parts{"http", "u@h", "w/v", "", "", ""}));
	EXPECT_EQ(Absolute(url, false), "http://u@h/w/v");
	url.SetRelativePath(VString("/a b#x"), eURL_POSIX_STYLE, false);
	EXPECT_EQ(Absolute(url, true), "http://u@h/a%20b#x");
}

// ---------------------------------------------------------------------------
// Walking the path

TEST(URL, PathWalksUpAndDown)
{
	struct Case {
		const char* fURL;
		bool fRoot;
		const char* fLast;
		const char* fParent; // null: none
	};
	const Case cases[] = {
		{"http://h/a/b/c", false, "c", "http://h/a/b/"},
		{"http://h/a/b/", false, "b", "http://h/a/"},
		{"http://h/a/", false, "a", "http://h/"},
		{"http://h/a", true, "a", nullptr},
		{"http://h/", true, "", nullptr},
		{"http://h/a/b?q", false, "b", "http://h/a/?q"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fURL);
		VURL url(VString(c.fURL), false);
		EXPECT_EQ(url.IsRoot(), c.fRoot);
		VString last;
		url.GetLastPathComponent(last, false);
		EXPECT_EQ(Text(last), c.fLast);
		std::unique_ptr<VURL> parent(url.RetainParent());
		if (c.fParent == nullptr) {
			EXPECT_EQ(parent, nullptr);
			EXPECT_FALSE(url.ToParent());
			EXPECT_EQ(Absolute(url, false), c.fURL);
		} else {
			ASSERT_NE(parent, nullptr);
			EXPECT_EQ(Absolute(*parent, false), c.fParent);
			EXPECT_EQ(Absolute(url, false), c.fURL);
			EXPECT_TRUE(url.ToParent());
			EXPECT_EQ(Absolute(url, false), c.fParent);
		}
	}

	VURL url(VString("file:///"), false);
	EXPECT_TRUE(url.ToSubFolder(VString("tmp/")));
	EXPECT_TRUE(url.ToSubFolder(VString("a b")));
	EXPECT_EQ(Absolute(url, true), "file:///tmp/a%20b");
	EXPECT_FALSE(url.ToSubFolder(VString("c")));
	VString last;
	url.GetLastPathComponent(last, true);
	EXPECT_EQ(Text(last), "a%20b");
}

TEST(URL, CopiesAreIndependent)
{
	VURL url(VString("http://h/a%20b"), true);
	VURL copy(url);
	VURL assigned;
	assigned = url;
	url.SetQuery(VString("q"), false);
	for (const VURL* u : {&copy, &assigned}) {
		EXPECT_EQ(Absolute(*u, true), "http://h/a%20b");
		EXPECT_EQ(PartsOf(*u), (Parts{"http", "h", "a b", "", "", ""}));
		EXPECT_TRUE(u->IsValid());
		EXPECT_TRUE(u->IsScheme(VString("http")));
		EXPECT_FALSE(u->IsScheme(VString("HTTP")));
	}
	url.Clear();
	EXPECT_FALSE(url.IsValid());
	EXPECT_EQ(Absolute(url, false), "");
	VString dump;
	copy.DebugDump(dump);
	EXPECT_EQ(Text(dump), "http://h/a b");
}

// ---------------------------------------------------------------------------
// File paths

TEST(URL, FilePathTextsBecomeFileURLs)
{
	struct Case {
		const char* fPath;
		EURLPathStyle fStyle;
		const char* fPrefix;
		const char* fURL;
	};
	const Case cases[] = {
		{"/Users/x", eURL_POSIX_STYLE, "file://", "file:///Users/x"},
		{"//srv/share", eURL_POSIX_STYLE, "file://", "file://srv/share"},
		{"a/b", eURL_POSIX_STYLE, "file://", "file:///a/b"},
		{"C:\\x\\y", eURL_WIN_STYLE, "file://", "file:///C:/x/y"},
		{"a:b:", eURL_HFS_STYLE, "file://", "file:///a/b/"},
		{"/x", eURL_POSIX_STYLE, "http://h", "http://h/x"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fPath);
		VURL url(VString(c.fPath), c.fStyle, VString(c.fPrefix));
		EXPECT_EQ(Absolute(url, false), c.fURL);
		EXPECT_TRUE(url.IsValid());
	}
	VURL url(VString("/a:b/c"), eURL_POSIX_STYLE);
	VString text;
	url.GetPath(text, eURL_HFS_STYLE, false);
	EXPECT_EQ(Text(text), "a/b:c");
	url.GetPath(text, eURL_WIN_STYLE, false);
	EXPECT_EQ(Text(text), "a:b\\c");
}

TEST(URL, OnlyFileURLsGiveFilePaths)
{
	struct Case {
		const char* fURL;
		const char* fPosix; // null: no file path
	};
	const Case cases[] = {
		{"file:///tmp/x", "/tmp/x"},
		{"FILE:///tmp/x", "/tmp/x"},
		{"file:///tmp/d/", "/tmp/d/"},
		{"file:///", "/"},
		{"file:///tmp/%C3%A9", "/tmp/é"},
		{"file:///tmp/a?q", "/tmp/a"},
		{"tmp/x", "/tmp/x"},
		{"http://h/tmp/x", nullptr},
		{"file:///tmp/a%00b", nullptr},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fURL);
		VFilePath path(VString("Root:old"), FPS_SYSTEM);
		bool got = VURL(VString(c.fURL), true).GetFilePath(path);
		EXPECT_EQ(got, c.fPosix != nullptr);
		VString posix;
		path.GetPosixPath(posix);
		if (c.fPosix != nullptr) {
			EXPECT_EQ(Text(posix), c.fPosix);
		} else {
			EXPECT_FALSE(path.IsValid());
		}
	}
	VFilePath path;
	VURL invalid{VFilePath()};
	EXPECT_FALSE(invalid.IsValid());
	EXPECT_EQ(Absolute(invalid, false), "");
}

// The path a file URL names, as GLib reads it.
std::string GLibFileName(const std::string& inURL)
{
	GError* error = nullptr;
	gchar* name = g_filename_from_uri(inURL.c_str(), nullptr, &error);
	if (name == nullptr) {
		std::string message = error != nullptr ? error->message : "no name";
		g_clear_error(&error);
		return "(refused: " + message + ")";
	}
	std::string result(name);
	g_free(name);
	return result;
}

// A file's URL names the same file to every reader: ours gives the same
// kernel path back, and GLib the same bytes.
TEST(URL, FileURLsNameTheSameFileBothWays)
{
	const char* names[] = {
		"/tmp/a?b",		   "/tmp/a;b",	 "/tmp/a#b",	 "/tmp/100%",	"/tmp/%41",
		"/tmp/[x]",		   "/tmp/a b",	 "/tmp/\xC3\xA9t\xC3\xA9", "/tmp/e\xCC\x81",
		"/tmp/\xE6\x97\xA5\xE6\x9C\xAC/", "/tmp/\xF0\x9F\x98\x80", "/tmp/a:b", "/tmp/x=y&z+w",
		"/",
	};
	for (const char* name : names) {
		SCOPED_TRACE(name);
		VFilePath path;
		XLinuxFile::GetFilePathFromPosixPath(name, false, path);
		ASSERT_TRUE(path.IsValid());
		VURL url(path);
		std::string encoded = Absolute(url, true);
		EXPECT_TRUE(VURL::_ContainsOnlySafeCharacters(VString(encoded.c_str()))) << encoded;
		EXPECT_EQ(GLibFileName(encoded), name) << encoded;

		VFilePath back;
		ASSERT_TRUE(VURL(VString(encoded.c_str()), true).GetFilePath(back)) << encoded;
		VString expected, got;
		path.GetPath(expected);
		back.GetPath(got);
		EXPECT_TRUE(got.EqualToStringRaw(expected)) << Text(got);
	}
}

TEST(URL, ANameThatIsNoUTF8KeepsItsBytesInTheURL)
{
	const char* name = "/tmp/caf\xE9-\xFF\xFE";
	VFilePath path;
	XLinuxFile::GetFilePathFromPosixPath(name, false, path);
	ASSERT_TRUE(path.IsValid());
	VURL url(path);
	std::string encoded = Absolute(url, true);
	EXPECT_EQ(encoded, "file:///tmp/caf%E9-%FF%FE");
	EXPECT_EQ(GLibFileName(encoded), name);
	// The URL made from the path gives that path back.
	VFilePath back;
	ASSERT_TRUE(url.GetFilePath(back));
	char* bytes = XLinuxFile::AllocatePosixPathFromFilePath(back);
	ASSERT_NE(bytes, nullptr);
	EXPECT_EQ(std::string(bytes), name);
	VMemory::DisposePtr(bytes);
}

} // namespace
} // namespace qirn
