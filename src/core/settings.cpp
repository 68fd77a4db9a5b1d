#include "core/settings.h"

#include "core/inifile.h"
#include "core/installation.h"
#include "core/numericvalue.h"
#include "core/placeholders.h"
#include "core/safefile.h"

#include <QLockFile>

namespace quarl {

namespace {
QString settingsPath()
{
    return Installation::filePath(QLatin1String(Installation::SettingsFileName));
}

// The desktop program and quarlctl of one installation may change the settings at the
// same moment: each reading, change and writing of the file holds this lock, so that no
// change of another is lost and no control number is given out twice.
class SettingsLock
{
public:
    SettingsLock() : m_lock(settingsPath() + QStringLiteral(".lock"))
    {
        m_lock.setStaleLockTime(30000);
        m_locked = m_lock.tryLock(10000);
    }
    bool locked() const { return m_locked; }

private:
    QLockFile m_lock;
    bool m_locked = false;
};
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
    const SettingsLock lock;
    if (!lock.locked())
        return false;
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
    bool write(const QString &v) const { return WriteSetting(QLatin1String(section), QLatin1String(key), v); }
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
constexpr Key IgmLayout{"Options", "IgmLayout"};
constexpr Key IgmTest{"Options", "IgmTestOrProduction"};
constexpr Key IgmControl{"Options", "IgmControlNo"};
constexpr Key FileSharing{"Options", "FileSharing"};
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
constexpr Key WindowGeometry{"Window", "Geometry"};
constexpr Key WindowMaximized{"Window", "Maximized"};

Key printerKey(ReportPrinter which, const char *key)
{
    return Key{which == ReportPrinter::CheckList ? "Printer" : "PrinterLand", key};
}
} // namespace

QString sysPath() { return SysPath.read(); }
bool setSysPath(const QString &path) { return SysPath.write(path); }
Status setInstallation(const QString &sysPath, const QString &iceGateUser, const QString &customHouseCode)
{
    const QString path = settingsPath();
    IniFile ini = IniFile::load(path);
    const auto set = [&](const Key &k, const QString &v) { ini.setValue(QLatin1String(k.section), QLatin1String(k.key), v); };
    set(SysPath, sysPath);
    if (!iceGateUser.isEmpty())
        set(IceGateUser, iceGateUser);
    if (!customHouseCode.isEmpty())
        set(CustomCode, customHouseCode);
    return ini.save(path);
}
QString savedUserId() { return UserId.read(); }
bool setSavedUserId(const QString &uid) { return UserId.write(uid); }
QString savedPassword() { return Password.read(); }
bool setSavedPassword(const QString &pwd) { return Password.write(pwd); }
QString companyIndexText() { return Company.read(); }
bool setCompanyIndexText(const QString &text) { return Company.write(text); }
QString emailFormat() { return Eformat.read(); }
bool setEmailFormat(const QString &value) { return Eformat.write(value); }
QString headingFont() { return Font.read(); }
bool setHeadingFont(const QString &font) { return Font.write(font); }
QString headingFontSize() { return FontSize.read(); }
bool setHeadingFontSize(const QString &size) { return FontSize.write(size); }
QString iceGateUser() { return IceGateUser.read(); }
bool setIceGateUser(const QString &user) { return IceGateUser.write(user); }
QString customHouseCode() { return CustomCode.read(); }
bool setCustomHouseCode(const QString &code) { return CustomCode.write(code); }
QString customHousePort()
{
    const QString code = customHouseCode();
    return code.isEmpty() ? QLatin1String(Placeholder::Port) : code;
}
QString igmLayout() { return IgmLayout.read(); }
bool setIgmLayout(const QString &name) { return IgmLayout.write(name); }
QString igmTestIndicator()
{
    return IgmTest.read().toUpper() == QLatin1String("T") ? QStringLiteral("T") : QStringLiteral("P");
}
bool setIgmTestIndicator(const QString &value) { return IgmTest.write(value); }
QString takeIgmControlNumber()
{
    const SettingsLock lock;
    if (!lock.locked())
        return {};
    const QString path = settingsPath();
    IniFile ini = IniFile::load(path);
    const QString section = QLatin1String(IgmControl.section);
    const QString key = QLatin1String(IgmControl.key);
    bool ok = false;
    qint64 last = ini.value(section, key).value_or(QString()).trimmed().toLongLong(&ok);
    if (!ok || last < 0)
        last = 0;
    const QString next = QString::number(last + 1);
    ini.setValue(section, key, next);
    if (!ini.save(path).isOk() || IgmControl.read() != next)
        return {};
    return next;
}
QString withIgmImport() { return WithIgmImport.read(); }
QString fileSharing() { return FileSharing.read(); }
bool setFileSharing(const QString &value) { return FileSharing.write(value); }
void applyFileSharing()
{
    FileRights::setSharing(fileSharing().compare(QLatin1String("group"), Qt::CaseInsensitive) == 0
                               ? FileRights::Sharing::Group
                               : FileRights::Sharing::Owner);
}
bool igmImportEnabled() { return numericValue(WithIgmImport.read()) == WithIgmImportEnabled; }
QString skinPath() { return Skin.read(); }
bool setSkinPath(const QString &path) { return Skin.write(path); }
QString mailTo() { return MailTo.read(); }
QString mailCc() { return MailCc.read(); }
QString mailSubject() { return MailSub.read(); }
QString mailMessage() { return MailMsg.read(); }

QString printerName(ReportPrinter which) { return printerKey(which, "Printer").read(); }
QString printerPaper(ReportPrinter which) { return printerKey(which, "Paper").read(); }
QString printerOrient(ReportPrinter which) { return printerKey(which, "Orient").read(); }
bool setPrinterName(ReportPrinter which, const QString &value) { return printerKey(which, "Printer").write(value); }
bool setPrinterPaper(ReportPrinter which, const QString &value) { return printerKey(which, "Paper").write(value); }
bool setPrinterOrient(ReportPrinter which, const QString &value) { return printerKey(which, "Orient").write(value); }

QString mailHost() { return MailHost.read(); }
bool setMailHost(const QString &v) { return MailHost.write(v); }
QString mailPort() { return MailPort.read(); }
bool setMailPort(const QString &v) { return MailPort.write(v); }
QString mailSecurity() { return MailSecurity.read(); }
bool setMailSecurity(const QString &v) { return MailSecurity.write(v); }
QString mailUser() { return MailUser.read(); }
bool setMailUser(const QString &v) { return MailUser.write(v); }
QString mailPassword() { return MailPassword.read(); }
bool setMailPassword(const QString &v) { return MailPassword.write(v); }
QString mailFrom() { return MailFrom.read(); }
bool setMailFrom(const QString &v) { return MailFrom.write(v); }
QString removableMediaFolder() { return MediaFolder.read(); }
bool setRemovableMediaFolder(const QString &v) { return MediaFolder.write(v); }
QString windowGeometry() { return WindowGeometry.read(); }
bool setWindowGeometry(const QString &v) { return WindowGeometry.write(v); }
QString windowMaximized() { return WindowMaximized.read(); }
bool setWindowMaximized(const QString &v) { return WindowMaximized.write(v); }

} // namespace Settings
} // namespace quarl
