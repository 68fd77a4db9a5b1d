#pragma once

#include <QString>

// The fixed texts of the IGM interchange commands, exactly as the user sees them.
namespace quarl::igm::Messages {

// Flat-file writer and its screen
inline constexpr char SettingsMissingAdvice[] =
    "IceGate User ID and Custom House Code Should be Set in House Keeping->System Paramters ";
inline constexpr char SettingsMissing[] = "Cannot Continue IceGate User ID or Custom House Code is not set";
inline constexpr char NoVoyage[] = "No Records Found with Vessel and Voyage Code ..";
inline constexpr char NoCargo[] = "No related cargo information is available ";
inline constexpr char NoContainers[] = "No Container information is available Continue with Cargo only";
// "File " + path + this
inline constexpr char SavedCopyToFloppy[] = " successfully is saved in Program Folder, Copy File to Floppy ? ";
inline constexpr char SavedInProgramFolder[] = " successfully is saved in Program Folder";
inline constexpr char FilePrefix[] = "File ";

// IGM import
inline constexpr char ImportQuestionPrefix[] = "Import Data For "; // + vessel + " / " + voyage + " ?"
inline constexpr char ImportQuestionSuffix[] = " ?";
inline constexpr char Imported[] = "Data Imported Sucessfully";
inline constexpr char ContextSeparator[] = "---";
inline constexpr char VesselContext[] = "Error Field : Vessel Information / ";
inline constexpr char CargoContext[] = "Error Field : Cargo Information / ";
inline constexpr char ContainerContext[] = "Error Field : Container Information / ";
inline constexpr char ItemContext[] = "Error Field : Goods Item / ";
inline constexpr char GeneralContext[] = "General Error ";

// XML import
inline constexpr char WrongVoyagePrefix[] = "Cargo file contain Data of "; // + vessel + " / " + voyage
inline constexpr char BillSuffix[] = " BL No. ";

// Voyage removal
inline constexpr char RemovalWarning[] = "This Operation will delete data, Which can not be recalled Later";
inline constexpr char RemovalQuestion[] = "The Data will paramanently be DELETED ? ";
inline constexpr char NothingToRemove[] = "No records found for this Voyage";
inline constexpr char Removed[] = "Records Deleted.. ";

inline constexpr char VoyageSeparator[] = " / ";

// The question both IGM readers ask before a voyage is imported.
inline QString importQuestion(const QString &vessel, const QString &voyage)
{
    return QLatin1String(ImportQuestionPrefix) + vessel + QLatin1String(VoyageSeparator) + voyage
           + QLatin1String(ImportQuestionSuffix);
}

} // namespace quarl::igm::Messages
