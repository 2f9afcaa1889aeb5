#pragma once

namespace render {

/// Prepares the environment of a run that may happen inside a thumbnailer's sandbox, where
/// only /usr is visible and nothing may be written but the output; call before the toolkit
/// starts. Where the system's font configuration cannot be read, fontconfig is pointed at the
/// program's own (installed beside it under share/pavex), which lists the fonts under /usr and
/// reads the system's font cache. Where no runtime folder is set, the output's own folder
/// stands in, so the toolkit makes none under /tmp.
void prepareSandboxedRun(const char* program, const char* outputPath);

} // namespace render
