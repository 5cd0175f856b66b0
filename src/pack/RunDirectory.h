// Unpacking the asset pack into loose files for the run, and deleting them at
// the end. The files go to a fresh private directory that is the current
// directory for the rest of the run, so the engine's bare file names reach
// them, a user's own file of the same name is never overwritten or deleted,
// and two copies of the engine can run side by side. Each run marks its
// directory with a file of its own and holds a lock on it; a start removes the
// marked directories of runs that were killed, and never touches another.
#pragma once

// Opens the pack in the current directory, enters a new private directory
// under $TMPDIR (under /tmp, said on stderr, when $TMPDIR cannot be used),
// marked and locked for the run, removes the run directories that killed runs
// left there (not when the system gives no lock), and extracts every entry of
// the unpack table (pack/UnpackTable.h) into it, then the pack's extra
// textures and lightmap pages (pack/ExtraAssets.h). A pack with an extra entry
// that is refused is not unpacked at all, and one line on stderr names the
// entry. The first file that cannot be
// written is named on stderr with the system's reason. Without a private
// directory nothing is extracted, and one line on stderr says why.
void UnpackAssets();

// Removes the extra files and the table's files from the private directory (a
// missing one is skipped) and its mark, then returns to the directory the run started in
// and removes the private directory when it is empty.
void DeleteUnpackedAssets();
