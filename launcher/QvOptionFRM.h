#pragma once
// The settings dialog: the settings the launcher and the plug-ins share, on
// four pages, each control bound to its key of the settings file. It loads
// them, finds the handset's port by asking each port for the handset's
// number, and on OK hands its values to the launcher, which stores them all
// in one write.
#include "core/data/SettingsKeys.h"
#include "platform/IniFile.h"
#include "platform/TColor.h"

#include <QDialog>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TMultiPanel;

namespace qv {

class TfrmOption : public QDialog {
  Q_OBJECT
 public:
  // What the dialog asks of the launcher.
  struct Host {
    // The handset's number on a port (device name, line speed); empty when
    // nothing answers.
    std::function<std::string(const std::string& device, int baud)> telNumber;
    // Runs the port search with ring-wait paused around it.
    std::function<void(const std::function<void()>& run)> pauseRingWait;
    // Reports a message id, shown in a box.
    std::function<void(std::string_view id)> report;
    // Stores what OK confirms; false keeps the dialog open.
    std::function<bool(TfrmOption& dialog)> commit;
  };

  explicit TfrmOption(QWidget* parent = nullptr, Host host = {});

  // Loads every control from the settings file; the colours are the main
  // window's current ones.
  void LoadSettings(TColor backColor, TColor fontColor);
  // Every key of the dialog with the value it is written with.
  std::vector<IniEntry> SettingsEntries() const;
  // The sample's colours.
  TColor BackColor() const;
  TColor FontColor() const;

  // OK is enabled only while a port, a speed and a font size are selected.
  void actOKUpdate();
  // Keeps the first Reply-To address of several, puts the default back into
  // an empty sign-up or e-mail centre number, and closes with 1 once the
  // launcher has stored the settings.
  void actOKExecute();
  // Asks every port in the list, then every USB serial adapter, for the
  // handset's number and selects the first that answers.
  void actAutoComExecute();
  // The three default centre numbers back into their boxes.
  void btnDefClick();
  void btnBackColorClick();
  void btnFontColorClick();

  QTabWidget* pagOption;
  QComboBox* cboComm;
  QComboBox* cboSpeed;
  QPushButton* btnAutoCom;
  QLineEdit* edtOnlineSignUpPhoneNo;
  QLineEdit* edtEMailPhoneNo;
  QLineEdit* edtEMailAutoPhoneNo;
  QPushButton* btnDef;
  QCheckBox* chkBunkei;
  QLineEdit* edtEMailAddress;
  QLineEdit* edtReplyTo;
  QCheckBox* chkBCCAddSelf;
  QCheckBox* chkRingReject;
  QCheckBox* chkQuoteMark;
  QCheckBox* chkAutoDelete;
  QCheckBox* chkDialWithNum;
  QCheckBox* chkExcerpt;
  QCheckBox* chkAutoDustClear;
  QCheckBox* chkAutoReceive;
  QComboBox* cboFont;
  TMultiPanel* pnlColor;
  QPushButton* btnBackColor;
  QPushButton* btnFontColor;
  QCheckBox* chkMessage;
  QCheckBox* chkSound;
  QCheckBox* chkVibration;
  QCheckBox* chkDuplicationFlagStartOdd;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  QAction* actOK;
  QAction* actAutoCom;

 public slots:
  // Escape and the border's close button cancel: modal result 2.
  void reject() override { done(2); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // A text box and its key. The bytes are kept as read, so that a text the
  // user leaves alone is written back byte for byte.
  struct TextField {
    QLineEdit* edit;
    keys::Key key;
    std::string bytes;
  };
  struct CheckField {
    QCheckBox* box;
    keys::Key key;
    bool inverted;  // checked stores "0"
  };
  void CreateComponents();
  static std::string FieldBytes(const TextField& field);
  static void SetField(TextField& field, const std::string& bytes);
  TextField& Field(QLineEdit* edit);
  // Asks one port; true when the handset answers there.
  bool Answers(const std::string& port, int baud) const;
  // A colour dialog starting at start; false when it is cancelled.
  bool ChooseColor(TColor start, TColor& chosen);

  Host host_;
  std::vector<TextField> texts_;
  std::vector<CheckField> checks_;
  std::string defaultSignUp_, defaultEMail_, defaultEMailAuto_;
};

}  // namespace qv
