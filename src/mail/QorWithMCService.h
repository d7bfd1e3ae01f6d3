#pragma once
// The process-wide registry of mail-client readers: at most one reader per
// kind, created when its kind is first activated.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "mail/QorWithMCDefine.h"
#include "platform/IRegistry.h"

namespace solvane {

// Makes the reader of a kind; nullptr for a kind that has no reader.
using TMCReaderFactory = std::function<std::unique_ptr<TQorCustomMC>(std::uint8_t kind)>;

// The readers: Foxmail and Outlook Express against the given registry,
// Outlook against this platform's automation server (none here: not installed).
TMCReaderFactory DefaultReaderFactory(IRegistry& registry);

class TQorMCService {
 public:
  explicit TQorMCService(TMCReaderFactory factory);
  ~TQorMCService();
  TQorMCService(const TQorMCService&) = delete;
  TQorMCService& operator=(const TQorMCService&) = delete;

  void SetOutlookActive(bool value);
  void SetOutlookExpressActive(bool value);
  void SetFoxmailActive(bool value);

  // The reader of kind (0 Foxmail, 1 Outlook, 2 Outlook Express), or nullptr.
  TQorCustomMC* GetReader(int kind) const;
  // "Foxmail", "Outlook", "OutlookExpress"; empty for any other kind.
  static std::string GetKindName(int kind);

 private:
  struct TSlot {
    std::unique_ptr<TQorCustomMC> Reader;
    bool Active = false;
  };
  void SetActive(TSlot& slot, std::uint8_t kind, bool value);

  TMCReaderFactory m_factory;
  TSlot m_outlook;
  TSlot m_outlookExpress;
  TSlot m_foxmail;
};

}  // namespace solvane
