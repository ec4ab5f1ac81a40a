// Every entry of a ZIP archive written below a folder, by the setup manager's extraction or by
// the plainest loop over the same minizip reader.
#pragma once

// ExtractZipFile as the download pass calls it, reporting to a progress window pumped by
// another thread. True when every entry was written.
bool ProductExtract(const char* archive, const char* folder);
// The same with the SHA-256 of the entry "packed.bin" made as it is written, as for a packed FILE
// with SHA256. False as well when the archive holds no such entry.
bool HashedExtract(const char* archive, const char* folder);

// Each entry in order: its folders created, its data copied in 65536-byte blocks.
bool BareExtract(const char* archive, const char* folder);
// The floor line: the bare loop plus, per block, a report sent to a progress window pumped by
// another thread, its answer tested for a cancel.
bool FloorExtract(const char* archive, const char* folder);
