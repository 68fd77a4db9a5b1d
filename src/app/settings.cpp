#include "app/settings.h"

#include "app/inifile.h"
#include "app/installation.h"

namespace quarl {

namespace {
QString settingsPath()
{
    return Installation::filePath(QLatin1String(Installation::SettingsFileName));
}
} // namespace

QString ReadSetting(const QString &section, const QString &key)
{
    const auto value = IniFile::load(settingsPath()).value(section, key);
    if (!value)
        return {};
    return value->trimmed().left(254).trimmed();
}

bool WriteSetting(const QString &section, const QString &key, const QString &value)
{
    const QString path = settingsPath();
    IniFile ini = IniFile::load(path);
    ini.setValue(section, key, value);
    return ini.save(path).isOk();
}

namespace Settings {

namespace {
struct Key
{
    const char *section;
    const char *key;
    QString read() const { return ReadSetting(QLatin1String(section), QLatin1String(key)); }
    void write(const QString &v) const { WriteSetting(QLatin1String(section), QLatin1String(key), v); }
};

constexpr Key SysPath{"SYSTEM", "SYSPATH"};
constexpr Key UserId{"User", "UsID"};
constexpr Key Password{"User", "Pwd"};
constexpr Key Company{"Database", "Company"};
constexpr Key Eformat{"Database", "Eformat"};
constexpr Key Font{"Options", "Font"};
constexpr Key FontSize{"Options", "FontSize"};
constexpr Key IceGateUser{"Options", "IceGateUser"};
constexpr Key CustomCode{"Options", "CustomCode"};
constexpr Key WithIgmImport{"Options", "WithIGMImport"};
constexpr Key Skin{"Skin", "Skin"};
constexpr Key MailTo{"Email", "To"};
constexpr Key MailCc{"Email", "CC"};
constexpr Key MailSub{"Email", "Sub"};
constexpr Key MailMsg{"Email", "Msg"};
constexpr Key MailHost{"Mail", "Host"};
constexpr Key MailPort{"Mail", "Port"};
constexpr Key MailSecurity{"Mail", "Security"};
constexpr Key MailUser{"Mail", "User"};
constexpr Key MailPassword{"Mail", "Password"};
constexpr Key MailFrom{"Mail", "From"};
constexpr Key MediaFolder{"Media", "Folder"};

Key printerKey(ReportPrinter which, const char *key)
{
    return Key{which == ReportPrinter::CheckList ? "Printer" : "PrinterLand", key};
}
} // namespace

QString sysPath() { return SysPath.read(); }
void setSysPath(const QString &path) { SysPath.write(path); }
QString savedUserId() { return UserId.read(); }
void setSavedUserId(const QString &uid) { UserId.write(uid); }
QString savedPassword() { return Password.read(); }
void setSavedPassword(const QString &pwd) { Password.write(pwd); }
QString companyIndexText() { return Company.read(); }
void setCompanyIndexText(const QString &text) { Company.write(text); }
QString emailFormat() { return Eformat.read(); }
void setEmailFormat(const QString &value) { Eformat.write(value); }
QString headingFont() { return Font.read(); }
void setHeadingFont(const QString &font) { Font.write(font); }
QString headingFontSize() { return FontSize.read(); }
void setHeadingFontSize(const QString &size) { FontSize.write(size); }
QString iceGateUser() { return IceGateUser.read(); }
void setIceGateUser(const QString &user) { IceGateUser.write(user); }
QString customHouseCode() { return CustomCode.read(); }
void setCustomHouseCode(const QString &code) { CustomCode.write(code); }
QString withIgmImport() { return WithIgmImport.read(); }
bool igmImportEnabled() { return WithIgmImport.read().toInt() == WithIgmImportEnabled; }
QString skinPath() { return Skin.read(); }
void setSkinPath(const QString &path) { Skin.write(path); }
QString mailTo() { return MailTo.read(); }
QString mailCc() { return MailCc.read(); }
QString mailSubject() { return MailSub.read(); }
QString mailMessage() { return MailMsg.read(); }

QString printerName(ReportPrinter which) { return printerKey(which, "Printer").read(); }
QString printerPaper(ReportPrinter which) { return printerKey(which, "Paper").read(); }
QString printerOrient(ReportPrinter which) { return printerKey(which, "Orient").read(); }
void setPrinterName(ReportPrinter which, const QString &value) { printerKey(which, "Printer").write(value); }
void setPrinterPaper(ReportPrinter which, const QString &value) { printerKey(which, "Paper").write(value); }
void setPrinterOrient(ReportPrinter which, const QString &value) { printerKey(which, "Orient").write(value); }

QString mailHost() { return MailHost.read(); }
void setMailHost(const QString &v) { MailHost.write(v); }
QString mailPort() { return MailPort.read(); }
void setMailPort(const QString &v) { MailPort.write(v); }
QString mailSecurity() { return MailSecurity.read(); }
void setMailSecurity(const QString &v) { MailSecurity.write(v); }
QString mailUser() { return MailUser.read(); }
void setMailUser(const QString &v) { MailUser.write(v); }
QString mailPassword() { return MailPassword.read(); }
void setMailPassword(const QString &v) { MailPassword.write(v); }
QString mailFrom() { return MailFrom.read(); }
void setMailFrom(const QString &v) { MailFrom.write(v); }
QString removableMediaFolder() { return MediaFolder.read(); }
void setRemovableMediaFolder(const QString &v) { MediaFolder.write(v); }

} // namespace Settings
} // namespace quarl
