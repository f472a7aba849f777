// The formatter hands its output over in pieces; a UTF-8 character must
// never be cut between two of them, wherever it falls.
#include "core/VPrintfFormatter.h"
#include "core/VString.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

namespace qirn {
namespace {

class PieceSink : public IPrintfSink {
public:
	void PutText(const char* inText, size_t inLength) override { fPieces.emplace_back(inText, inLength); }
	void PutObject(char, const void*) override { fPieces.emplace_back("<object>"); }
	std::vector<std::string> fPieces;
};

std::vector<std::string> Pieces(const char* inFormat, ...)
{
	PieceSink sink;
	va_list args;
	va_start(args, inFormat);
	VPrintfFormatter::Format(inFormat, args, sink);
	va_end(args);
	return sink.fPieces;
}

bool StartsInsideACharacter(const std::string& inPiece)
{
	return !inPiece.empty() && (static_cast<unsigned char>(inPiece[0]) & 0xC0) == 0x80;
}

TEST(PrintfPieces, CharactersAcrossTheBufferEdgeStayWhole)
{
	// Shift a two-, three- and four-byte character over the buffer's edge,
	// arriving through a %s argument, through %c pieces and through the
	// format's own text.
	for (const char* character : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"}) {
		for (size_t lead = 1015; lead <= 1025; ++lead) {
			std::string text(lead, 'a');
			text += character;
			std::string format = text + "%S";
			VString unused;
			const std::vector<std::vector<std::string>> runs = {
				Pieces("%s%S", text.c_str(), &unused),
				Pieces(format.c_str(), &unused),
			};
			for (const auto& pieces : runs) {
				std::string joined;
				for (const std::string& piece : pieces) {
					EXPECT_FALSE(StartsInsideACharacter(piece)) << lead;
					if (piece != "<object>")
						joined += piece;
				}
				EXPECT_EQ(joined, text) << lead;
			}
		}
	}
}

TEST(PrintfPieces, AStringBuiltFromBytePiecesKeepsItsCharacters)
{
	std::string expected(1023, 'x');
	VString result;
	VString empty;
	result.Printf((expected + "%c%c%S").c_str(), 0xC3, 0xA9, &empty);
	ASSERT_EQ(result.GetLength(), 1024);
	EXPECT_EQ(result.GetUniChar(1024), u'\u00E9');
}

} // namespace
} // namespace qirn
