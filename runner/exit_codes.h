#pragma once

// Exit codes of zorvan-cli, as its commands end and as the round reads them
// from the steps it runs.
namespace ExitCode {
constexpr int Success = 0;
constexpr int LinkFailure = 1; // no port, or no or a wrong answer from the recorder
constexpr int Usage = 2;
constexpr int FileFailure = 3;     // a file could not be made or written
constexpr int DatabaseFailure = 4; // the fleet database cannot be reached or used
// verify: the run folder is not as sealed, has no seal to check, or was
// sealed with another key than the one given.
constexpr int SealAltered = 10;
constexpr int SealUnsigned = 11;
constexpr int SealOtherKey = 12;
constexpr int Interrupted = 130;
} // namespace ExitCode

// The exit code of an operation. Ctrl+C counts only when it cut the operation
// short: work that was already complete is reported as it ended. A file error
// counts even when the operation went on to its end, as readouts do after a
// write error.
[[nodiscard]] constexpr int OperationExitCode(bool completed, bool interrupted, bool fileError) {
    if (!completed && interrupted)
        return ExitCode::Interrupted;
    if (fileError)
        return ExitCode::FileFailure;
    return completed ? ExitCode::Success : ExitCode::LinkFailure;
}

// The exit code of an exchange that writes no file (the clock, info, a port
// that would not open).
[[nodiscard]] constexpr int LinkExitCode(bool completed, bool interrupted) {
    return OperationExitCode(completed, interrupted, false);
}
