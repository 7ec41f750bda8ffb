#include "core/ui/Dialogs.h"

#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/data/TextFunctions.h"

#include <QFile>
#include <QFileDialog>
#include <QFontDialog>

namespace qv {

namespace {

DialogHandlers& Handlers() {
  static DialogHandlers handlers;
  return handlers;
}

// "caption|pattern|..." as Qt's "caption (pattern);;...". On this system "*.*"
// would miss files without an extension, so it offers every file.
QString QtFilter(std::string_view filter) {
  QStringList parts = ToQString(filter).split(QLatin1Char('|'));
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString caption = parts[i].trimmed();
    QString pattern = parts[i + 1] == QLatin1String("*.*") ? QStringLiteral("*") : parts[i + 1];
    int open = caption.lastIndexOf(QLatin1Char('('));
    if (open > 0 && caption.endsWith(QLatin1Char(')'))) caption = caption.left(open).trimmed();
    entries << caption + QStringLiteral(" (") + pattern.replace(QLatin1Char(';'), QLatin1Char(' ')) +
                   QLatin1Char(')');
  }
  return entries.join(QStringLiteral(";;"));
}

std::filesystem::path ToPath(const QString& name) { return std::filesystem::path(QFile::encodeName(name).toStdString()); }
QString FromPath(const std::filesystem::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.string())); }

}  // namespace

Answer AskWarning(QWidget* parent, std::string_view text, bool withCancel) {
  if (Handlers().ask) return Handlers().ask(std::string(text), withCancel);
  switch (ExecMessageBox(parent, BoxKind::Warning, text, withCancel ? BoxButtons::YesNoCancel : BoxButtons::YesNo)) {
    case BoxAnswer::Yes:
      return Answer::Yes;
    case BoxAnswer::Cancel:
      return Answer::Cancel;
    default:
      return Answer::No;
  }
}

void ShowInformation(QWidget* parent, std::string_view text) {
  if (Handlers().info) {
    Handlers().info(std::string(text));
    return;
  }
  ShowMessageBox(parent, BoxKind::Information, text);
}

void ShowWarning(QWidget* parent, std::string_view text) {
  if (Handlers().warn) {
    Handlers().warn(std::string(text));
    return;
  }
  ShowMessageBox(parent, BoxKind::Warning, text);
}

std::optional<std::filesystem::path> AskOpenFile(QWidget* parent, std::string_view filter,
                                                 const std::filesystem::path& folder) {
  if (Handlers().openIn) return Handlers().openIn(folder, std::string(filter));
  if (Handlers().open) return Handlers().open(std::string(filter));
  QString name = QFileDialog::getOpenFileName(parent, QString(), folder.empty() ? QString() : FromPath(folder),
                                              QtFilter(filter));
  if (name.isEmpty()) return std::nullopt;
  return ToPath(name);
}

std::optional<std::filesystem::path> AskSaveFile(QWidget* parent, const std::filesystem::path& path,
                                                 std::string_view filter) {
  if (Handlers().save) return Handlers().save(path, std::string(filter));
  QString name = QFileDialog::getSaveFileName(parent, QString(), FromPath(path), QtFilter(filter));
  if (name.isEmpty()) return std::nullopt;
  return ToPath(name);
}

std::optional<QFont> AskFont(QWidget* parent, const QFont& font) {
  if (Handlers().font) return Handlers().font(font);
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, font, parent);
  if (!ok) return std::nullopt;
  return chosen;
}

void SetDialogHandlers(DialogHandlers handlers) { Handlers() = std::move(handlers); }

}  // namespace qv
