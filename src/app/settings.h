#pragma once

#include <QString>

namespace quarl {

// The settings file Quarl.ini of the installation folder, taken afresh on every call.
// ReadSetting gives the value trimmed, at most 254 characters; a missing key, an empty
// value or blanks give the empty text. WriteSetting writes the value as given (a line
// break inside it is written as a blank) and keeps every other line of the file.
QString ReadSetting(const QString &section, const QString &key);
bool WriteSetting(const QString &section, const QString &key, const QString &value);

// Every section and key the program uses, with its meaning; nothing else names them.
namespace Settings {

inline constexpr int WithIgmImportEnabled = 1; // Options/WithIGMImport value that shows "Import IGM File"

// SYSTEM
QString sysPath();
void setSysPath(const QString &path);
// User: remembered at logon
QString savedUserId();
void setSavedUserId(const QString &uid);
QString savedPassword();
void setSavedPassword(const QString &pwd);
// Database
QString companyIndexText();
void setCompanyIndexText(const QString &text);
QString emailFormat();              // 0 = RTF, 1 = PDF; empty = RTF
void setEmailFormat(const QString &value);
// Options
QString headingFont();
void setHeadingFont(const QString &font);
QString headingFontSize();
void setHeadingFontSize(const QString &size);
QString iceGateUser();
void setIceGateUser(const QString &user);
QString customHouseCode();
void setCustomHouseCode(const QString &code);
QString withIgmImport();
bool igmImportEnabled();
// Skin
QString skinPath();
void setSkinPath(const QString &path);
// Email defaults for the mail fields of the sending screens
QString mailTo();
QString mailCc();
QString mailSubject();
QString mailMessage();

// Printer choices: section Printer for the check-list, PrinterLand for the cargo declaration.
enum class ReportPrinter { CheckList, CargoDeclaration };
QString printerName(ReportPrinter which);
QString printerPaper(ReportPrinter which);   // Windows paper number: 9 = A4, 1 = Letter
QString printerOrient(ReportPrinter which);  // 1 portrait, 2 landscape
void setPrinterName(ReportPrinter which, const QString &value);
void setPrinterPaper(ReportPrinter which, const QString &value);
void setPrinterOrient(ReportPrinter which, const QString &value);

// Linux stand-ins: the SMTP server of the mail hand-off and the removable-media folder.
QString mailHost();
void setMailHost(const QString &v);
QString mailPort();
void setMailPort(const QString &v);
QString mailSecurity();             // none, starttls or ssl
void setMailSecurity(const QString &v);
QString mailUser();
void setMailUser(const QString &v);
QString mailPassword();
void setMailPassword(const QString &v);
QString mailFrom();
void setMailFrom(const QString &v);
QString removableMediaFolder();
void setRemovableMediaFolder(const QString &v);

} // namespace Settings
} // namespace quarl
