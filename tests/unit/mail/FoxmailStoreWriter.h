#pragma once
// Writes Foxmail store files in memory from the documented layout
// (docs/formats/foxmail-store.md), for reader tests: accounts.cfg and a
// mailbox's .box and .ind pair. Overrides let a test write lengths, offsets
// and sizes that lie; PutU32 rewrites bytes afterwards.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvane::test {

struct TFoxmailAccountSpec {
  std::string Name;  // written as given, zero bytes included
  std::string Path;
  std::string Third = "pop3";
  std::optional<std::int32_t> NameLength;  // written instead of Name's size
  std::optional<std::int32_t> PathLength;  // written instead of Path's size
};

// accounts.cfg with the given accounts; count defaults to their number.
std::string MakeFoxmailAccounts(const std::vector<TFoxmailAccountSpec>& accounts,
                                std::optional<std::int32_t> count = std::nullopt);

struct TFoxmailMessageSpec {
  std::string Bytes;  // the message as stored in the .box file
  std::string Sender;
  std::string Subject;
  bool Deleted = false;
  std::optional<std::int32_t> Offset;  // written instead of the real offset
  std::optional<std::uint32_t> Size;   // written instead of the real size (24 bits kept)
};

struct TFoxmailMailbox {
  std::string Box;
  std::string Index;
  std::vector<std::uint64_t> Offsets;  // where each message's bytes lie in Box
};

// A .box with a short preamble followed by the messages, and its .ind.
// Sender and subject are clipped to the record's text area.
TFoxmailMailbox MakeFoxmailMailbox(const std::vector<TFoxmailMessageSpec>& messages);

void PutU32(std::string& bytes, std::size_t at, std::uint32_t v);

}  // namespace solvane::test
