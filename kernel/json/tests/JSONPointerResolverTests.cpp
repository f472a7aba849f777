// References with "$ref": pointers inside one document, documents on disk
// found through a base folder or a namespace, the file cache, cycles, and
// what a failure leaves in the tree and in the error list.
#include "files/VFile.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "files/tests/PosixFiles.h"
#include "json/VJSONFileCache.h"
#include "json/VJSONImporter.h"
#include "json/VJSONPointerResolver.h"
#include "json/VJSONWriter.h"
#include "json/tests/JSONTestSupport.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace qirn {
namespace {

using testing::U;
using testing::WriteFile;

VJSONValue Parse(const char* inText)
{
	VJSONValue value;
	EXPECT_EQ(VJSONImporter::ParseString(VString(inText), value, VJSONImporter::kOption_Strict), VE_OK) << inText;
	return value;
}

std::string Text(const VJSONValue& inValue)
{
	VString text;
	inValue.Stringify(text, VJSONWriter::kOption_Quotes);
	return to_string(text);
}

VRefPtr<VJSONObject> Ref(const char* inURI)
{
	VRefPtr<VJSONObject> ref = testing::NewObject();
	ref->SetProperty(VJSONPointerResolver::sRefPropertyName, VJSONValue(VString(inURI)));
	return ref;
}

VRefPtr<VJSONPointerResolver> NewResolver(const VJSONValue& inRoot, IFolder* inFolder = nullptr,
										  VFileSystemNamespace* inNamespace = nullptr, VJSONFileCache* inCache = nullptr)
{
	return VRefPtr<VJSONPointerResolver>::Adopt(new VJSONPointerResolver(inRoot, inFolder, inNamespace, inCache));
}

VRefPtr<VFolder> Folder(const std::string& inPath)
{
	return VRefPtr<VFolder>::Adopt(new VFolder(VString((inPath + "/").c_str()), FPS_POSIX));
}

// The error codes recorded, oldest first.
std::vector<int32> Codes(const VJSONPointerResolver& inResolver)
{
	std::vector<int32> codes;
	if (const VJSONArray* errors = inResolver.GetErrors(); errors != nullptr) {
		for (size_t i = 0; i < errors->GetCount(); ++i)
			codes.push_back(static_cast<int32>(errors->GetAt(i).GetProperty(U("code")).GetNumber()));
	}
	return codes;
}

std::string Named(const VJSONPointerResolver& inResolver, size_t inIndex, const char* inName)
{
	VString text;
	if (const VJSONArray* errors = inResolver.GetErrors(); errors != nullptr)
		errors->GetAt(inIndex).GetProperty(U(inName)).GetString(text);
	return to_string(text);
}

TEST(JSONPointerResolver, PointersInsideTheDocumentResolveOrFailWithTheirCode)
{
	const VJSONValue root = Parse(R"({"a": [10, 20], "a/b": 1, "m~n": 2, "": 3, "~1": 4, "%": 5,
		"obj": {"k": "v", "n": null}, "s": "text"})");
	struct Case {
		const char* fURI;
		const char* fExpected; // JSON text, or null for a failure
		int32 fCode;
	};
	// clang-format off
	const Case cases[] = {
		{"#/a/1", "20", 0},
		{"#/a/0", "10", 0},
		{"#/a~1b", "1", 0},
		{"#/m~0n", "2", 0},
		{"#/~01", "4", 0},           // "~0" first would give "/"
		{"#/", "3", 0},              // the empty name
		{"#/m%7E0n", "2", 0},        // URL escapes undone before pointer escapes
		{"#/%25", "5", 0},
		{"#/obj/k", "\"v\"", 0},
		{"#/obj/n", "null", 0},
		{"#/a/2", nullptr, 906},
		{"#/a/99999999999999999999999", nullptr, 906},
		{"#/obj/missing", nullptr, 906},
		{"#/a/01", nullptr, 907},
		{"#/a/x", nullptr, 907},
		{"#/a/", nullptr, 907},
		{"#/a/-1", nullptr, 907},
		{"#a", nullptr, 907},
		{"#/a/-", nullptr, 909},
		{"#/s/x", nullptr, 910},
		{"#/obj/k/0", nullptr, 910},
	};
	// clang-format on
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fURI);
		VRefPtr<VJSONPointerResolver> resolver = NewResolver(root);
		VJSONValue value(VString("stale"));
		const bool resolved = resolver->ResolveOnePointer(Ref(c.fURI).Get(), false, value);
		if (c.fExpected != nullptr) {
			ASSERT_TRUE(resolved);
			EXPECT_EQ(Text(value), c.fExpected);
			EXPECT_EQ(resolver->GetErrors(), nullptr);
		} else {
			EXPECT_FALSE(resolved);
			EXPECT_TRUE(value.IsUndefined());
			EXPECT_EQ(Codes(*resolver), std::vector<int32>{c.fCode});
			EXPECT_EQ(Named(*resolver, 0, "pointerURI"), c.fURI);
			EXPECT_EQ(Named(*resolver, 0, "component"), "qirn");
			EXPECT_FALSE(Named(*resolver, 0, "message").empty());
		}
	}
}

TEST(JSONPointerResolver, TheEmptyFragmentIsTheWholeDocumentAndErrorsAccumulate)
{
	const VJSONValue root = Parse(R"({"a": 1})");
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(root);
	VJSONValue value;
	ASSERT_TRUE(resolver->ResolveOnePointer(Ref("#").Get(), false, value));
	EXPECT_EQ(value.GetObject(), root.GetObject());
	ASSERT_TRUE(resolver->ResolveOnePointer(Ref("").Get(), false, value));
	EXPECT_EQ(value.GetObject(), root.GetObject());

	EXPECT_FALSE(resolver->ResolveOnePointer(Ref("#/b").Get(), false, value));
	EXPECT_FALSE(resolver->ResolveOnePointer(Ref("#/c").Get(), false, value));
	EXPECT_EQ(Codes(*resolver), (std::vector<int32>{906, 906}));
	EXPECT_EQ(Named(*resolver, 1, "pointerURI"), "#/c");

	// An object without a "$ref" string is no reference: nothing recorded.
	VRefPtr<VJSONObject> plain = testing::NewObject();
	plain->SetProperty(VJSONPointerResolver::sRefPropertyName, VJSONValue(1.0));
	EXPECT_FALSE(resolver->ResolveOnePointer(plain.Get(), false, value));
	EXPECT_FALSE(resolver->ResolveOnePointer(nullptr, false, value));
	EXPECT_EQ(Codes(*resolver).size(), 2u);
}

TEST(JSONPointerResolver, ResolutionRaisesNothingOnTheTask)
{
	testing::RaisedErrors raised;
	VJSONValue tree = Parse(R"({"x": {"$ref": "#/missing"}, "y": {"$ref": "nowhere.json#/a"}})");
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree);
	EXPECT_FALSE(resolver->ResolveRecursively(tree, false, nullptr));
	EXPECT_EQ(Codes(*resolver), (std::vector<int32>{906, 913}));
	EXPECT_TRUE(raised.Codes().empty());
}

TEST(JSONPointerResolver, ATreeKeepsEveryFailedReferenceAsItStood)
{
	VJSONValue tree = Parse(R"({"ok": {"$ref": "#/list/1"}, "list": [1, 2, {"$ref": "#/nothing"}],
		"deep": {"inner": {"$ref": "#/list/7"}}})");
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree);
	EXPECT_FALSE(resolver->ResolveRecursively(tree, false, nullptr));
	EXPECT_EQ(Text(tree), R"({"ok":2,"list":[1,2,{"$ref":"#/nothing"}],"deep":{"inner":{"$ref":"#/list/7"}}})");
	EXPECT_EQ(Codes(*resolver), (std::vector<int32>{906, 906}));
}

TEST(JSONPointerResolver, ChainsOfReferencesAreFollowedToTheirValue)
{
	VJSONValue tree = Parse(R"({"a": {"$ref": "#/b"}, "b": {"$ref": "#/c"}, "c": {"d": {"$ref": "#/e"}}, "e": 5})");
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree);
	EXPECT_TRUE(resolver->ResolveRecursively(tree, false, nullptr));
	EXPECT_EQ(Text(tree), R"({"a":{"d":5},"b":{"d":5},"c":{"d":5},"e":5})");
	EXPECT_EQ(tree.GetProperty(U("a")).GetObject(), tree.GetProperty(U("c")).GetObject());
	EXPECT_EQ(resolver->GetErrors(), nullptr);
}

TEST(JSONPointerResolver, CyclesOfReferencesFailWithoutEndingTheWalk)
{
	struct Case {
		const char* fName;
		const char* fTree;
		const char* fAfter;
		std::vector<int32> fCodes;
	};
	// clang-format off
	const Case cases[] = {
		{"two references to each other", R"({"a": {"$ref": "#/b"}, "b": {"$ref": "#/a"}, "c": 1})",
		 R"({"a":{"$ref":"#/b"},"b":{"$ref":"#/a"},"c":1})", {908, 908}},
		{"a reference to itself", R"({"a": {"$ref": "#/a"}})", R"({"a":{"$ref":"#/a"}})", {908}},
		{"a pointer through its own reference", R"({"a": {"$ref": "#/a/x", "x": 1}})",
		 R"({"a":{"$ref":"#/a/x","x":1}})", {908}},
		{"three in a ring", R"({"a": {"$ref": "#/b"}, "b": {"$ref": "#/c"}, "c": {"$ref": "#/a"}})",
		 R"({"a":{"$ref":"#/b"},"b":{"$ref":"#/c"},"c":{"$ref":"#/a"}})", {908, 908, 908}},
	};
	// clang-format on
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VJSONValue tree = Parse(c.fTree);
		VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree);
		EXPECT_FALSE(resolver->ResolveRecursively(tree, false, nullptr));
		EXPECT_EQ(Text(tree), c.fAfter);
		EXPECT_EQ(Codes(*resolver), c.fCodes);
	}
}

TEST(JSONPointerResolver, TheDeepFlagDecidesWhetherAPointerWalksThroughAReference)
{
	const VJSONValue root = Parse(R"({"a": {"$ref": "#/a/x"}, "b": {"$ref": "#/c"}, "c": {"y": 7}})");
	VRefPtr<VJSONObject> throughA(root.GetProperty(U("a")).GetObject());
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(root);
	VJSONValue value;
	EXPECT_FALSE(resolver->ResolveOnePointer(throughA.Get(), true, value));
	EXPECT_FALSE(resolver->ResolveOnePointer(throughA.Get(), false, value));
	EXPECT_EQ(Codes(*resolver), (std::vector<int32>{908, 906}));

	ASSERT_TRUE(resolver->ResolveOnePointer(Ref("#/b/y").Get(), true, value));
	EXPECT_EQ(Text(value), "7");
	EXPECT_FALSE(resolver->ResolveOnePointer(Ref("#/b/y").Get(), false, value));
}

TEST(JSONPointerResolver, AReferenceToTheWholeDocumentMakesACycleThatIsWalkedOnceAndFreed)
{
	testing::JSONLeakMonitor monitor;
	{
		VJSONValue tree = Parse(R"({"self": {"$ref": "#"}, "list": [{"$ref": "#/list"}], "n": 1})");
		VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree);
		EXPECT_TRUE(resolver->ResolveRecursively(tree, false, nullptr));
		EXPECT_EQ(tree.GetProperty(U("self")).GetObject(), tree.GetObject());
		VJSONArray* list = tree.GetProperty(U("list")).GetArray();
		ASSERT_NE(list, nullptr);
		EXPECT_EQ(list->GetAt(0).GetArray(), list);
	}
	EXPECT_EQ(monitor.Objects(), 0);
	EXPECT_EQ(monitor.Arrays(), 0);
}

TEST(JSONPointerResolver, MergingLetsTheReferenceOverrideTheTargetInANewObject)
{
	VJSONValue tree = Parse(R"({"base": {"a": 1, "b": 1}, "x": {"$ref": "#/base", "b": 2, "c": 3},
		"y": {"$ref": "#/base"}, "z": {"$ref": "#/base/a", "b": 2}})");
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree);
	EXPECT_TRUE(resolver->ResolveRecursively(tree, true, nullptr));
	EXPECT_EQ(Text(tree.GetProperty(U("x"))), R"({"a":1,"b":2,"c":3})");
	EXPECT_EQ(Text(tree.GetProperty(U("base"))), R"({"a":1,"b":1})");
	EXPECT_EQ(tree.GetProperty(U("y")).GetObject(), tree.GetProperty(U("base")).GetObject());
	EXPECT_EQ(Text(tree.GetProperty(U("z"))), "1");
}

TEST(JSONPointerResolver, AChainTooLongFailsWithAnErrorInsteadOfOverflowing)
{
	std::string text = "{";
	constexpr int kLinks = 3000;
	for (int i = 0; i < kLinks; ++i)
		text += "\"r" + std::to_string(i) + "\": {\"$ref\": \"#/r" + std::to_string(i + 1) + "\"}, ";
	text += "\"r" + std::to_string(kLinks) + "\": 1}";
	const VJSONValue root = Parse(text.c_str());
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(root);
	VJSONValue value;
	EXPECT_FALSE(resolver->ResolveOnePointer(root.GetProperty(U("r0")).GetObject(), false, value));
	EXPECT_EQ(Codes(*resolver), std::vector<int32>{ERRCODE_FROM_VERROR(VE_STACK_OVERFLOW)});
	ASSERT_TRUE(resolver->ResolveOnePointer(root.GetProperty(U("r2500")).GetObject(), false, value));
	EXPECT_EQ(Text(value), "1");
}

// A folder whose files count the reads of their content.
class CountingFile : public VFile {
public:
	CountingFile(const VFilePath& inPath, std::atomic<int>& ioReads) : VFile(inPath), fReads(ioReads) {}
	VError GetContent(VMemoryBuffer<>& outContent) const override
	{
		++fReads;
		return VFile::GetContent(outContent);
	}

private:
	std::atomic<int>& fReads;
};

class CountingFolder : public IFolder {
public:
	CountingFolder(const std::string& inPath, std::atomic<int>& ioReads) : fInner(Folder(inPath)), fReads(ioReads) {}

	const VFilePath& GetPath() const override { return fInner->GetPath(); }
	VFileSystem* GetFileSystem() const override { return nullptr; }
	void GetPlatformPath(VString& outPath, FilePathStyle inStyle) const override
	{
		fInner->GetPlatformPath(outPath, inStyle);
	}
	VString GetPathWithFileSystem() const override { return fInner->GetPathWithFileSystem(); }
	IFolder* RetainParentFolder(bool inSandboxed) const override { return fInner->RetainParentFolder(inSandboxed); }
	bool Exists() const override { return fInner->Exists(); }
	VError GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const override
	{
		return fInner->GetTimeAttributes(outModified, outCreated, outAccessed);
	}
	IFolder* RetainRelativeFolder(const VString& inPath, FilePathStyle inStyle, VFileSystem* inFileSystem) const override
	{
		return fInner->RetainRelativeFolder(inPath, inStyle, inFileSystem);
	}
	bool GetElements(std::vector<VRefPtr<IFile>>* outFiles, std::vector<VRefPtr<IFolder>>* outFolders,
					 bool inWithInvisible) const override
	{
		return fInner->GetElements(outFiles, outFolders, inWithInvisible);
	}
	bool IterateFiles(const std::function<bool(IFile*, IFileAttributeAccessor*)>& inFunction,
					  uint32 inOptions) const override
	{
		return fInner->IterateFiles(inFunction, inOptions);
	}
	bool IterateFolders(const std::function<bool(IFolder*, IFileAttributeAccessor*)>& inFunction,
						uint32 inOptions) const override
	{
		return fInner->IterateFolders(inFunction, inOptions);
	}
	IFile* _RetainRelativeIFile(const VString& inRelativePath, FilePathStyle inStyle) const override
	{
		VRefPtr<IFile> file = VRefPtr<IFile>::Adopt(fInner->_RetainRelativeIFile(inRelativePath, inStyle));
		return file ? new CountingFile(file->GetPath(), fReads) : nullptr;
	}

private:
	VRefPtr<VFolder> fInner;
	std::atomic<int>& fReads;
};

class JSONPointerFiles : public ::testing::Test {
protected:
	void SetUp() override
	{
		std::filesystem::create_directories(fFolder / "sub");
		ASSERT_TRUE(WriteFile(fFolder / "other.json", R"({"k": {"n": 1}, "back": {"$ref": "#/k/n"}})"));
		ASSERT_TRUE(WriteFile(fFolder / "sub/deep.json", R"({"v": {"$ref": "../other.json#/k/n"}})"));
		ASSERT_TRUE(WriteFile(fFolder / "bad.json", R"({"k": )"));
		ASSERT_TRUE(WriteFile(fFolder / "my file.json", R"({"k": "spaced"})"));
	}
	static std::vector<std::string> Names(const std::vector<VRefPtr<IFile>>& inFiles)
	{
		std::vector<std::string> names;
		for (const VRefPtr<IFile>& file : inFiles) {
			VString name;
			file->GetName(name);
			names.push_back(to_string(name));
		}
		return names;
	}

	testing::TempFolder fFolder;
};

TEST_F(JSONPointerFiles, ReferencesReadEachFileOnceAndRelativeToTheFileThatHoldsThem)
{
	std::atomic<int> reads{0};
	VRefPtr<CountingFolder> base = VRefPtr<CountingFolder>::Adopt(new CountingFolder(fFolder.Path(), reads));
	VJSONValue tree = Parse(R"({"x": {"$ref": "other.json#/k"}, "y": {"$ref": "other.json#/k"},
		"z": {"$ref": "sub/deep.json#/v"}, "w": {"$ref": "other.json#/back"}, "s": {"$ref": " my%20file.json#/k"}})");
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree, base.Get());
	std::vector<VRefPtr<IFile>> files;
	EXPECT_TRUE(resolver->ResolveRecursively(tree, false, &files));
	EXPECT_EQ(Text(tree), R"({"x":{"n":1},"y":{"n":1},"z":1,"w":1,"s":"spaced"})");
	EXPECT_EQ(tree.GetProperty(U("x")).GetObject(), tree.GetProperty(U("y")).GetObject());
	EXPECT_EQ(resolver->GetErrors(), nullptr);
	EXPECT_EQ(Names(files), (std::vector<std::string>{"other.json", "deep.json", "my file.json"}));
	// Three files, each read once, though other.json is referred to four
	// times (once from deep.json, found from sub/ outside the counting base).
	EXPECT_EQ(reads.load(), 3);
	EXPECT_EQ(resolver->GetCache()->GetCount(), 3u);
}

TEST_F(JSONPointerFiles, TheCacheServesLaterCallsWithoutReadingTheFileAgain)
{
	VRefPtr<VFolder> base = Folder(fFolder.Path());
	VRefPtr<VJSONFileCache> cache = VRefPtr<VJSONFileCache>::Adopt(new VJSONFileCache());
	VJSONValue value;
	VRefPtr<VJSONPointerResolver> first = NewResolver(VJSONValue(), base.Get(), nullptr, cache.Get());
	ASSERT_TRUE(first->ResolveOnePointer(Ref("other.json#/k/n").Get(), false, value));
	EXPECT_EQ(Text(value), "1");

	ASSERT_TRUE(WriteFile(fFolder / "other.json", R"({"k": {"n": 2}})"));
	VRefPtr<VJSONPointerResolver> cached = NewResolver(VJSONValue(), base.Get(), nullptr, cache.Get());
	ASSERT_TRUE(cached->ResolveOnePointer(Ref("other.json#/k/n").Get(), false, value));
	EXPECT_EQ(Text(value), "1");

	VRefPtr<VJSONPointerResolver> fresh = NewResolver(VJSONValue(), base.Get());
	ASSERT_TRUE(fresh->ResolveOnePointer(Ref("other.json#/k/n").Get(), false, value));
	EXPECT_EQ(Text(value), "2");

	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(VString((fFolder / "other.json").c_str()), FPS_POSIX));
	EXPECT_FALSE(cache->GetValue(file->GetPath()).IsUndefined());
	cache->SetValue(file->GetPath(), VJSONValue());
	EXPECT_TRUE(cache->GetValue(file->GetPath()).IsUndefined());
	EXPECT_EQ(cache->GetCount(), 0u);
}

TEST_F(JSONPointerFiles, DocumentsThatCannotBeFoundOrReadFailWithTheirPath)
{
	VRefPtr<VFolder> base = Folder(fFolder.Path());
	const std::string absolute = fFolder / "other.json";
	struct Case {
		std::string fURI;
		IFolder* fBase;
		int32 fCode;
		std::string fReferredPath;
	};
	const Case cases[] = {
		{"missing.json#/k", base.Get(), 913, fFolder / "missing.json"},
		{"bad.json#/k", base.Get(), 912, fFolder / "bad.json"},
		{"sub#/k", base.Get(), 913, fFolder / "sub"},
		// Without base folder a relative path designates nothing, and without
		// namespace neither does a full path, though the file exists.
		{"other.json#/k", nullptr, 913, "other.json"},
		{absolute + "#/k", base.Get(), 913, absolute},
		{absolute + "#/k", nullptr, 913, absolute},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fURI);
		VRefPtr<VJSONPointerResolver> resolver = NewResolver(VJSONValue(), c.fBase);
		VJSONValue value;
		EXPECT_FALSE(resolver->ResolveOnePointer(Ref(c.fURI.c_str()).Get(), false, value));
		EXPECT_EQ(Codes(*resolver), std::vector<int32>{c.fCode});
		EXPECT_EQ(Named(*resolver, 0, "pointerURI"), c.fURI);
		EXPECT_EQ(Named(*resolver, 0, "referredPath"), c.fReferredPath);
	}
}

TEST_F(JSONPointerFiles, ARelativePathNeverReadsTheCurrentFolder)
{
	char saved[4096];
	ASSERT_NE(::getcwd(saved, sizeof(saved)), nullptr);
	ASSERT_EQ(::chdir(fFolder.Path().c_str()), 0);
	VJSONValue tree = Parse(R"({"x": {"$ref": "other.json#/k"}})");
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree);
	std::vector<VRefPtr<IFile>> files;
	const bool resolved = resolver->ResolveRecursively(tree, false, &files);
	EXPECT_EQ(::chdir(saved), 0);
	EXPECT_FALSE(resolved);
	EXPECT_EQ(Text(tree), R"({"x":{"$ref":"other.json#/k"}})");
	EXPECT_EQ(Codes(*resolver), std::vector<int32>{913});
	EXPECT_TRUE(files.empty());
}

TEST_F(JSONPointerFiles, AFailingDocumentIsReportedForEachReferenceAndListedOnce)
{
	VRefPtr<VFolder> base = Folder(fFolder.Path());
	VJSONValue tree = Parse(R"({"a": {"$ref": "bad.json#/k"}, "b": {"$ref": "bad.json#/j"}, "c": {"$ref": "gone.json"}})");
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree, base.Get());
	std::vector<VRefPtr<IFile>> files;
	EXPECT_FALSE(resolver->ResolveRecursively(tree, false, &files));
	EXPECT_EQ(Codes(*resolver), (std::vector<int32>{912, 912, 913}));
	EXPECT_EQ(Named(*resolver, 1, "pointerURI"), "bad.json#/j");
	// A missing file is listed too: a caller watching the files learns when
	// it appears.
	EXPECT_EQ(Names(files), (std::vector<std::string>{"bad.json", "gone.json"}));
	EXPECT_EQ(Text(tree), R"({"a":{"$ref":"bad.json#/k"},"b":{"$ref":"bad.json#/j"},"c":{"$ref":"gone.json"}})");
}

TEST_F(JSONPointerFiles, RefusedSchemesOpenNothingWhateverTheirCase)
{
	VRefPtr<VFolder> base = Folder(fFolder.Path());
	ASSERT_TRUE(WriteFile(fFolder / "http:x.json", R"({"k": 1})"));
	const char* uris[] = {"http:x.json#/k", "HTTP://example.com/a.json#/k", "https://example.com/a.json",
						  "File:///etc/passwd", "  file:other.json#/k"};
	for (const char* uri : uris) {
		SCOPED_TRACE(uri);
		VJSONValue tree = Parse(R"({"x": 0})");
		tree.GetObject()->SetProperty(U("x"), VJSONValue(Ref(uri).Get()));
		VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree, base.Get());
		std::vector<VRefPtr<IFile>> files;
		EXPECT_FALSE(resolver->ResolveRecursively(tree, false, &files));
		EXPECT_EQ(Codes(*resolver), std::vector<int32>{909});
		EXPECT_TRUE(files.empty());
		EXPECT_EQ(resolver->GetCache()->GetCount(), 0u);
	}
}

TEST_F(JSONPointerFiles, CyclesAcrossFilesFail)
{
	VRefPtr<VFolder> base = Folder(fFolder.Path());
	ASSERT_TRUE(WriteFile(fFolder / "a.json", R"({"k": {"$ref": "b.json#/k"}})"));
	ASSERT_TRUE(WriteFile(fFolder / "b.json", R"({"k": {"$ref": "a.json#/k"}})"));
	VJSONValue tree = Parse(R"({"x": {"$ref": "a.json#/k"}})");
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree, base.Get());
	std::vector<VRefPtr<IFile>> files;
	EXPECT_FALSE(resolver->ResolveRecursively(tree, false, &files));
	EXPECT_EQ(Codes(*resolver), std::vector<int32>{908});
	EXPECT_EQ(Names(files), (std::vector<std::string>{"a.json", "b.json"}));
}

TEST_F(JSONPointerFiles, ANamespaceFindsFullPathsInsideItsFileSystems)
{
	VRefPtr<VFileSystemNamespace> names = VRefPtr<VFileSystemNamespace>::Adopt(new VFileSystemNamespace());
	ASSERT_EQ(names->RegisterFileSystem(U("res"), Folder(fFolder.Path()).Get(), 0), VE_OK);
	VJSONValue tree = Parse(R"({"x": {"$ref": "/res/other.json#/k"}, "y": {"$ref": "/res/other.json#/back"},
		"z": {"$ref": "/res/sub/deep.json#/v"}, "no": {"$ref": "/nothing/other.json#/k"}})");
	VRefPtr<VJSONPointerResolver> resolver = NewResolver(tree, nullptr, names.Get());
	std::vector<VRefPtr<IFile>> files;
	EXPECT_FALSE(resolver->ResolveRecursively(tree, false, &files));
	EXPECT_EQ(Text(tree), R"({"x":{"n":1},"y":1,"z":1,"no":{"$ref":"/nothing/other.json#/k"}})");
	EXPECT_EQ(Codes(*resolver), std::vector<int32>{913});
	EXPECT_EQ(Named(*resolver, 0, "referredPath"), "/nothing/other.json");
	EXPECT_EQ(Names(files), (std::vector<std::string>{"other.json", "deep.json"}));
	EXPECT_EQ(resolver->GetCache()->GetCount(), 2u);
}

TEST(JSONPointerResolver, PointerPartsUndoTheirEscapesOnce)
{
	struct Case {
		const char16_t* fPart;
		const char16_t* fName;
	};
	const Case cases[] = {
		{u"a~1b", u"a/b"}, {u"m~0n", u"m~n"}, {u"~01", u"~1"}, {u"~10", u"/0"},
		{u"~", u"~"},	   {u"a~2", u"a~2"},  {u"~0~1", u"~/"}, {u"", u""},
	};
	for (const Case& c : cases) {
		VString part(reinterpret_cast<const UniChar*>(c.fPart));
		VString name;
		VJSONPointerResolver::UnescapePart(part.GetCPointer(), part.GetLength(), name);
		EXPECT_EQ(to_string(name), to_string(VString(reinterpret_cast<const UniChar*>(c.fName))))
			<< to_string(part);
	}
}

} // namespace
} // namespace qirn
