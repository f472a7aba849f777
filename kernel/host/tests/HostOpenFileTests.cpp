// Opening a document with its default application: "xdg-open" from PATH,
// started detached, never waited for.

#include "host/HostOpenFile.h"

#include "testing/ScopedEnvironment.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using qirn::testing::ScopedEnvironment;
using qirn::testing::TempFolder;

// Reads what the fake opener writes into the FIFO, up to its end.
std::string ReadFifo(const std::string& inPath)
{
	const int fifo = ::open(inPath.c_str(), O_RDONLY | O_CLOEXEC);
	std::string text;
	char buffer[512];
	ssize_t got;
	while (fifo >= 0 && (got = ::read(fifo, buffer, sizeof buffer)) > 0)
		text.append(buffer, static_cast<size_t>(got));
	if (fifo >= 0)
		::close(fifo);
	return text;
}

TEST(HostOpenFile, StartsTheOpenerDetachedWithThePathWhole)
{
	TempFolder temp;
	const std::string fifo = temp / "report";
	ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
	const std::string opener = temp / "xdg-open";
	// It reports its argument and its session.
	std::ofstream(opener) << "#!/bin/sh\n"
							 "printf '%s|%s|' \"$1\" \"$(awk '{print $6}' /proc/$$/stat)\" > "
						  << fifo << "\n";
	::chmod(opener.c_str(), 0755);
	ScopedEnvironment environment;
	environment.Set("PATH", temp.Path() + ":/usr/bin:/bin");

	const std::string document = temp / "a log 'with' \"quotes\".txt";
	EXPECT_EQ(qirn::host::OpenWithDefaultApplication(document.c_str()), 0);
	const std::string report = ReadFifo(fifo);
	EXPECT_EQ(report.substr(0, report.find('|')), document);
	// A session of its own: not ours.
	EXPECT_EQ(report.find("|" + std::to_string(::getsid(0)) + "|"), std::string::npos) << report;
}

TEST(HostOpenFile, WithoutOpenerOnPath)
{
	TempFolder temp;
	ScopedEnvironment environment;
	environment.Set("PATH", temp.Path());
	EXPECT_EQ(qirn::host::OpenWithDefaultApplication("/tmp/x.txt"), ENOENT);
	environment.Remove("PATH");
	EXPECT_EQ(qirn::host::OpenWithDefaultApplication("/tmp/x.txt"), ENOENT);
	EXPECT_EQ(qirn::host::OpenWithDefaultApplication(""), EINVAL);
}

} // namespace
