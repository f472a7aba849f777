// Starts a process from wherever the tests placed this program (a bundle's
// executable folder, say) and reports what the process frame reads of it,
// one "name=value" line each.
#include "files/VFile.h"
#include "files/VFolder.h"
#include "process/VProcess.h"

#include <cstdio>
#include <string>

using namespace qirn;

namespace {

std::string UTF8(const VString& inText)
{
	std::string text;
	for (VIndex i = 1; i <= inText.GetLength(); ++i)
		text.push_back(static_cast<char>(inText.GetUniChar(i)));
	return text;
}

void Report(const char* inName, const std::string& inValue)
{
	std::printf("%s=%s\n", inName, inValue.c_str());
}

std::string Posix(const VFilePath& inPath)
{
	VString text;
	inPath.GetPosixPath(text);
	return UTF8(text);
}

} // namespace

int main()
{
	VProcess process;
	// Read at construction, before any start-up.
	Report("name", UTF8(process.GetProductName()));
	Report("version", UTF8(process.GetProductVersion()));
	Report("folder.name", UTF8(process.GetProductFolderName()));
	Report("source", UTF8(process.GetLogSourceIdentifier()));
	if (!process.Init(0)) {
		Report("init", "0");
		return 1;
	}
	Report("init", "1");
	VString text;
	process.GetShortProductVersion(text);
	Report("version.short", UTF8(text));
	process.GetMainProductVersion(text);
	Report("version.main", UTF8(text));
	process.GetBuildNumber(text);
	Report("version.build", UTF8(text));
	Report("version.changelist", std::to_string(process.GetChangeListNumber()));
	Report("executable", Posix(process.GetExecutableFilePath()));
	Report("executable.folder", Posix(process.GetExecutableFolderPath()));
	VFile* executable = process.RetainExecutableFile();
	Report("executable.exists", executable != nullptr && executable->Exists() ? "1" : "0");
	if (executable != nullptr)
		executable->Release();
	const char* kinds[] = {"EXEC", "PLST", "BNDL", "RSRC", "NCMP", "DTDs", "XSDs", "XSLs", "JSNs", "XXXX"};
	for (const char* kind : kinds) {
		const uint32 code = static_cast<uint32>(kind[0]) << 24 | static_cast<uint32>(kind[1]) << 16 |
							static_cast<uint32>(kind[2]) << 8 | static_cast<uint32>(kind[3]);
		VFolder* folder = process.RetainFolder(code);
		Report((std::string("folder.") + kind).c_str(), folder != nullptr ? Posix(folder->GetPath()) : "null");
		if (folder != nullptr)
			folder->Release();
	}
	// "a.txt" lies in the resources only, "b.txt" in both: the first kind wins.
	struct FileCase {
		const char* fName;
		uint32 fKind;
		uint32 fFallback;
		const char* fReport;
	};
	const FileCase files[] = {
		{"a.txt", 'XSDs', 'RSRC', "file.fallback"},
		{"a.txt", 'XSDs', 0, "file.nofallback"},
		{"b.txt", 'XSDs', 'RSRC', "file.first"},
		{"c.txt", 'XSDs', 'RSRC', "file.missing"},
		{"a.txt", 'XSDs', 'JSNs', "file.nofolder"},
	};
	for (const FileCase& test : files) {
		VFile* file = process.RetainFile(test.fKind, VString(test.fName), test.fFallback);
		Report(test.fReport, file != nullptr ? Posix(file->GetPath()) : "null");
		if (file != nullptr)
			file->Release();
	}
	return 0;
}
