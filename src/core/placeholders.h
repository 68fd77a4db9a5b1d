#pragma once

// Codes written where the data has none: the port of a voyage or a line that was not
// keyed, and the terminal operator of a voyage header. Files of older installations carry
// them, so readers and writers recognise them as "not known".
namespace quarl::Placeholder {

inline constexpr char Port[] = "INIXY1";
inline constexpr char Terminal[] = "PORT";

} // namespace quarl::Placeholder
