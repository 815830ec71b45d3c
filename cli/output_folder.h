#pragma once

#include "link/message_gateway.h"

#include <QDateTime>
#include <QString>

// Makes the folder a readout writes into and makes it the current directory,
// as the readouts open their files by bare name: dir when given (made when
// missing), else a new run folder in the current directory, named after the
// moment as the window names its run folder. Its absolute path, or empty
// after "Невозможно создать папку " and the folder was told.
[[nodiscard]] QString EnterOutputFolder(const QString& dir, const QDateTime& now,
                                        MessageGateway& messages);
