// Unpacking the asset pack into loose files for the run, and deleting them at
// the end. The files go to a fresh private directory that is the current
// directory for the rest of the run, so the engine's bare file names reach
// them, a user's own file of the same name is never overwritten or deleted,
// and two copies of the engine can run side by side. Each run holds a lock on
// its directory; a start removes the directories of runs that were killed.
#pragma once

// Opens the pack in the current directory, removes the run directories that
// killed runs left under $TMPDIR (else /tmp), enters a new private directory
// there, locked for the run, and extracts every entry of the unpack table
// (pack/UnpackTable.h) into it, ignoring each result. Without a private
// directory nothing is extracted.
void UnpackAssets();

// Removes the table's files from the private directory in table order (a
// missing one is skipped), then returns to the directory the run started in
// and removes the private directory when it is empty.
void DeleteUnpackedAssets();
