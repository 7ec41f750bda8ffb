#pragma once
// The ringtone maker: opens a standard MIDI file, lets the user choose which
// source channels play the handset's four melody parts and edit the song
// texts, previews the source and the handset version, and saves the ringtone
// file (".dxm"). Every conversion is done by the converter module named by
// [File] MidiDllFile.
#include "abi/PluginApi.h"
#include "plugins/ringtone/MidiPreview.h"
#include "plugins/ringtone/PreviewTempFile.h"
#include "plugins/ringtone/PurletteConvert.h"
#include "plugins/ringtone/TcvBinding.h"

#include <QMainWindow>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QTimer;
class TImageList;

namespace qv {

class TfrmPurlette : public QMainWindow {
  Q_OBJECT
 public:
  // Chooses the preview's temporary file and binds the converter; when the
  // converter cannot be bound it says so and ends the application.
  explicit TfrmPurlette(QWidget* parent = nullptr);
  ~TfrmPurlette() override;

  bool ConverterBound() const { return tcv_.Bound(); }
  // The preview's temporary file; empty when none could be created.
  std::filesystem::path TempFileName() const;

  void Reset();
  // Reads and scans the file as "開く" does after its dialog.
  void OpenFile(const std::filesystem::path& file);
  // The role box k (0-3) took its current role: the other boxes keep the
  // four roles distinct.
  void cboMapClick(int box);
  void UpdateActions();

  void actOpenExecute();
  void actSaveExecute();
  void actMidiPlayExecute();
  void actDxmPlayExecute();
  void actStopExecute();

  QLineEdit* edtFileName = nullptr;
  QGroupBox* pnlMelody = nullptr;
  std::array<QComboBox*, 4> cboMap{};
  std::array<QComboBox*, 4> cboReMap{};
  QGroupBox* pnlComment = nullptr;
  QLineEdit* edtTitle = nullptr;
  QLineEdit* edtArtist = nullptr;
  QLineEdit* edtGenre = nullptr;
  QLineEdit* edtCopyright = nullptr;
  QLineEdit* edtCreator = nullptr;
  QLineEdit* edtComposer = nullptr;
  QLineEdit* edtLyrics = nullptr;
  QLineEdit* edtArranger = nullptr;
  QAction* actOpen = nullptr;
  QAction* actSave = nullptr;
  QAction* actMidiPlay = nullptr;
  QAction* actDxmPlay = nullptr;
  QAction* actStop = nullptr;
  QAction* actClose = nullptr;
  TImageList* ImageList1 = nullptr;
  QTimer* tmrPlay = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateComponents();
  QLineEdit* TextBox(int text) const;
  // The CP932 bytes of a text box: as loaded while the user left it alone.
  std::string TextBytes(int text) const;
  void SetLoadedText(int text, const std::string& bytes);
  ConvertSettings Settings() const;
  // Converts the source and shows the conversion's warning.
  ConvertResult Convert();
  void Play(const std::filesystem::path& file);
  void StopPlayer();
  void tmrPlayTimer();

  std::string source_;
  std::filesystem::path sourceName_;  // empty = nothing loaded
  std::unique_ptr<PreviewTempFile> temp_;
  TcvBinding tcv_;
  PreviewPlayer player_;
  std::array<std::string, kSongTextCount> loaded_;
};

}  // namespace qv
