#include "mail/QorWithMCService.h"

#include <exception>

#include "mail/QorWithMCFoxmail.h"
#include "mail/QorWithMCOutlook.h"
#include "mail/QorWithMCOutlookExpress.h"

namespace solvane {

TMCReaderFactory DefaultReaderFactory(IRegistry& registry) {
  return [&registry](std::uint8_t kind) -> std::unique_ptr<TQorCustomMC> {
    switch (kind) {
      case kMCKindFoxmail:
        return std::make_unique<TQorFoxMail>(registry);
      case kMCKindOutlookExpress:
        return std::make_unique<TQorOutlookExpress>(registry);
      // Without Outlook's automation server the reader is not installed.
      case kMCKindOutlook:
        return std::make_unique<TQorOutlook>(CreateOutlookAutomation(), CreateDialogFinder());
      default:
        return nullptr;
    }
  };
}

TQorMCService::TQorMCService(TMCReaderFactory factory) : m_factory(std::move(factory)) {}

TQorMCService::~TQorMCService() {
  // Freed in this order; a reader whose destruction fails stops the rest.
  try {
    m_outlook.Reader.reset();
    m_outlookExpress.Reader.reset();
    m_foxmail.Reader.reset();
  } catch (...) {
  }
}

void TQorMCService::SetActive(TSlot& slot, std::uint8_t kind, bool value) {
  if (value == slot.Active) return;
  slot.Active = value;
  if (!value) {
    slot.Reader.reset();
    return;
  }
  if (!slot.Reader && m_factory) slot.Reader = m_factory(kind);
  if (!slot.Reader) return;
  slot.Reader->InitError.clear();
  try {
    slot.Reader->Init();
  } catch (const std::exception& e) {
    // A reader whose store cannot be read stays in place, not installed.
    slot.Reader->InitError = e.what();
  } catch (...) {
    slot.Reader->InitError = "unknown error while reading the mail store";
  }
}

void TQorMCService::SetOutlookActive(bool value) { SetActive(m_outlook, kMCKindOutlook, value); }
void TQorMCService::SetOutlookExpressActive(bool value) {
  SetActive(m_outlookExpress, kMCKindOutlookExpress, value);
}
void TQorMCService::SetFoxmailActive(bool value) { SetActive(m_foxmail, kMCKindFoxmail, value); }

TQorCustomMC* TQorMCService::GetReader(int kind) const {
  switch (kind) {
    case kMCKindFoxmail:
      return m_foxmail.Reader.get();
    case kMCKindOutlook:
      return m_outlook.Reader.get();
    case kMCKindOutlookExpress:
      return m_outlookExpress.Reader.get();
    default:
      return nullptr;
  }
}

std::string TQorMCService::GetKindName(int kind) {
  switch (kind) {
    case kMCKindFoxmail:
      return "Foxmail";
    case kMCKindOutlook:
      return "Outlook";
    case kMCKindOutlookExpress:
      return "OutlookExpress";
    default:
      return {};
  }
}

}  // namespace solvane
