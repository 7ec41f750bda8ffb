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

// A name without any dot gets the default extension, as the dialog's own
// default suffix does; the dialogs of some platforms leave that to us.
std::optional<std::filesystem::path> Completed(std::optional<std::filesystem::path> path, std::string_view extension) {
  if (path && !extension.empty() && path->filename().string().find('.') == std::string::npos) *path += extension;
  return path;
}

std::optional<std::filesystem::path> RunFileDialog(QWidget* parent, QFileDialog::AcceptMode mode,
                                                   const std::filesystem::path& folder, std::string_view filter,
                                                   std::string_view extension, const QString& proposed) {
  QFileDialog dialog(parent, QString(), folder.empty() ? QString() : FromPath(folder), QtFilter(filter));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (extension.starts_with('.')) extension.remove_prefix(1);
  if (!extension.empty()) dialog.setDefaultSuffix(QString::fromLatin1(extension.data(), static_cast<qsizetype>(extension.size())));
  if (!proposed.isEmpty()) dialog.selectFile(proposed);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToPath(dialog.selectedFiles().constFirst());
}

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
                                                 const std::filesystem::path& folder, std::string_view defaultExtension,
                                                 std::string_view proposedName) {
  if (Handlers().openIn) return Completed(Handlers().openIn(folder, std::string(filter)), defaultExtension);
  if (Handlers().open) return Completed(Handlers().open(std::string(filter)), defaultExtension);
  return Completed(RunFileDialog(parent, QFileDialog::AcceptOpen, folder, filter, defaultExtension,
                                 ToQString(proposedName)),
                   defaultExtension);
}

std::optional<std::filesystem::path> AskSaveFile(QWidget* parent, const std::filesystem::path& path,
                                                 std::string_view filter, std::string_view defaultExtension) {
  if (Handlers().save) return Completed(Handlers().save(path, std::string(filter)), defaultExtension);
  // The path is a folder to start in, or a name proposed in its folder.
  std::error_code ec;
  const bool folder = std::filesystem::is_directory(path, ec);
  return Completed(RunFileDialog(parent, QFileDialog::AcceptSave, folder ? path : path.parent_path(), filter,
                                 defaultExtension, folder ? QString() : FromPath(path.filename())),
                   defaultExtension);
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
