#pragma once

#include "core/failure.h"

#include <QString>

namespace quarl {

// The settings file Quarl.ini of the installation folder, taken afresh on every call.
// ReadSetting gives the value trimmed, at most 254 characters; a missing key, an empty
// value or blanks give the empty text. WriteSetting writes the value as given (a line
// break inside it is written as a blank) and keeps every other line of the file.
QString ReadSetting(const QString &section, const QString &key);
bool WriteSetting(const QString &section, const QString &key, const QString &value);

// Every section and key the program uses, with its meaning; nothing else names them.
// The setters return whether the file was written.
namespace Settings {

inline constexpr int WithIgmImportEnabled = 1; // Options/WithIGMImport value that shows "Import IGM File"

// SYSTEM
QString sysPath();
bool setSysPath(const QString &path);
// What a new installation writes, in one go: the system database and the gateway
// identifiers (an empty one is left as it is). The file then holds all of them or, when
// it cannot be written, is as it was.
Status setInstallation(const QString &sysPath, const QString &iceGateUser, const QString &customHouseCode);
// User: remembered at logon
QString savedUserId();
bool setSavedUserId(const QString &uid);
QString savedPassword();
bool setSavedPassword(const QString &pwd);
// Database
QString companyIndexText();
bool setCompanyIndexText(const QString &text);
QString emailFormat();              // 0 = RTF, 1 = PDF; empty = RTF
bool setEmailFormat(const QString &value);
// Options
QString headingFont();
bool setHeadingFont(const QString &font);
QString headingFontSize();
bool setHeadingFontSize(const QString &size);
QString iceGateUser();
bool setIceGateUser(const QString &user);
QString customHouseCode();
bool setCustomHouseCode(const QString &code);
// The custom house code, or the placeholder port while none is set: the port a document
// names where the office keyed none of its own.
QString customHousePort();
// The flat-file layout written by Generate Flat-File: "older" (the default, also when
// empty) or "ices15"; test or production ("T"/"P", default P) of the ICES 1.5 header.
QString igmLayout();
bool setIgmLayout(const QString &name);
QString igmTestIndicator();
bool setIgmTestIndicator(const QString &value);
// The next control number of an ICES 1.5 file: one more than the last one given out by
// this installation, written back before it is returned. Empty when the settings file
// cannot be written (a number that might be given out twice is not given at all).
QString takeIgmControlNumber();
QString withIgmImport();
bool igmImportEnabled();
// Who may read and write the files and folders the program makes: "group" for the group
// too (an office sharing the installation over a group), anything else the owner alone.
// applyFileSharing() makes the program follow the setting; it runs once at start-up.
QString fileSharing();
bool setFileSharing(const QString &value);
void applyFileSharing();
// Skin
QString skinPath();
bool setSkinPath(const QString &path);
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
bool setPrinterName(ReportPrinter which, const QString &value);
bool setPrinterPaper(ReportPrinter which, const QString &value);
bool setPrinterOrient(ReportPrinter which, const QString &value);

// Linux stand-ins: the SMTP server of the mail hand-off and the removable-media folder.
QString mailHost();
bool setMailHost(const QString &v);
QString mailPort();
bool setMailPort(const QString &v);
QString mailSecurity();             // none, starttls or ssl
bool setMailSecurity(const QString &v);
QString mailUser();
bool setMailUser(const QString &v);
QString mailPassword();
bool setMailPassword(const QString &v);
QString mailFrom();
bool setMailFrom(const QString &v);
QString removableMediaFolder();
bool setRemovableMediaFolder(const QString &v);
// The main window as the user left it on this machine: its place and size when not
// maximised ("x,y,width,height"; empty the first time) and whether it was maximised ("1").
QString windowGeometry();
bool setWindowGeometry(const QString &v);
QString windowMaximized();
bool setWindowMaximized(const QString &v);

} // namespace Settings
} // namespace quarl
