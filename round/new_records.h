#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// How many records of a memory ("events" or "summator") the archive at
// archivePath first got at or after since (ms since 1970): the records new
// to it, of the crane whose identification the run folder's memory image
// holds. Records taken from the archive, or read again, are not new; a
// record the recorder wrote over an older one's slot is; an erased slot is
// none. nullopt when the image or the archive cannot tell.
[[nodiscard]] std::optional<int> NewRecords(const QString& archivePath, const QString& runFolder,
                                            const QString& memory, std::int64_t since);
