#include "qtbridge/QSettingsRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QString>
#include <QUrl>

namespace solvane {

namespace {

QString RootGroup(TRegistryRoot root) {
  return root == TRegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// Key paths use '\' between their parts, which QSettings treats as its own
// separator; value names may hold '\' too, so they are percent-encoded.
QString GroupOf(TRegistryRoot root, std::string_view keyPath) {
  QString path = QString::fromUtf8(keyPath.data(), static_cast<int>(keyPath.size()));
  path.replace('\\', '/');
  while (path.startsWith('/')) path.remove(0, 1);
  while (path.endsWith('/')) path.chop(1);
  return path.isEmpty() ? RootGroup(root) : RootGroup(root) + "/" + path;
}

QString ValueKey(TRegistryRoot root, std::string_view keyPath, std::string_view valueName) {
  QByteArray name(valueName.data(), static_cast<int>(valueName.size()));
  QString encoded = name.isEmpty() ? QString("@default")
                                   : QString::fromLatin1(QUrl::toPercentEncoding(name));
  return GroupOf(root, keyPath) + "/" + encoded;
}

}  // namespace

TQSettingsRegistry::TQSettingsRegistry()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             "Kestrune", "Solvane")) {}

TQSettingsRegistry::TQSettingsRegistry(const std::string& iniFile)
    : m_settings(std::make_unique<QSettings>(QString::fromStdString(iniFile),
                                             QSettings::IniFormat)) {}

TQSettingsRegistry::~TQSettingsRegistry() = default;

bool TQSettingsRegistry::OpenKey(TRegistryRoot root, std::string_view keyPath, bool create) {
  if (m_settings->status() == QSettings::AccessError) return false;
  if (create) return m_settings->isWritable();
  m_settings->beginGroup(GroupOf(root, keyPath));
  bool exists = !m_settings->childKeys().isEmpty() || !m_settings->childGroups().isEmpty();
  m_settings->endGroup();
  return exists;
}

std::optional<std::string> TQSettingsRegistry::ReadString(TRegistryRoot root,
                                                          std::string_view keyPath,
                                                          std::string_view valueName) {
  QVariant v = m_settings->value(ValueKey(root, keyPath, valueName));
  if (!v.isValid()) return std::nullopt;
  return v.toString().toStdString();
}

bool TQSettingsRegistry::WriteString(TRegistryRoot root, std::string_view keyPath,
                                     std::string_view valueName, std::string_view value) {
  if (!m_settings->isWritable()) return false;
  m_settings->setValue(ValueKey(root, keyPath, valueName),
                       QString::fromUtf8(value.data(), static_cast<int>(value.size())));
  m_settings->sync();
  return m_settings->status() == QSettings::NoError;
}

bool TQSettingsRegistry::DeleteValue(TRegistryRoot root, std::string_view keyPath,
                                     std::string_view valueName) {
  QString key = ValueKey(root, keyPath, valueName);
  if (!m_settings->contains(key)) return false;
  m_settings->remove(key);
  m_settings->sync();
  return m_settings->status() == QSettings::NoError;
}

std::optional<std::string> TQSettingsRegistry::UpdateString(TRegistryRoot root,
                                                            std::string_view keyPath,
                                                            std::string_view valueName,
                                                            const TValueChange& change) {
  std::lock_guard g(m_updateMutex);
  // QSettings locks its file only while it writes; this lock spans the read
  // too. Its own lock file is "<file>.lock", so this one has another name.
  const QString file = m_settings->fileName();
  QDir().mkpath(QFileInfo(file).absolutePath());
  QLockFile lock(file + ".update.lock");
  if (!lock.tryLock(10000)) return std::nullopt;
  m_settings->sync();  // takes in what another process wrote meanwhile
  return IRegistry::UpdateString(root, keyPath, valueName, change);
}

}  // namespace solvane
