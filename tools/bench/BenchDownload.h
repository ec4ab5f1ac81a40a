// A file of the portal downloaded into a local file, by the setup manager's download or by the
// plainest loop over the same HTTP layer.
#pragma once

// The setup manager's DownloadFile, as the download pass calls it: the fresh-copy flag, a
// progress window pumped by another thread, no cancel. True when the file is complete.
bool ProductDownload(const char* url, const char* path);
// The same with the file's SHA-256 made as the bytes arrive, as for a FILE with SHA256.
bool HashedDownload(const char* url, const char* path);

// Open, read 4096 bytes at a time, write: the same block size, file flags and cache flags, and
// nothing else.
bool BareDownload(const char* url, const char* path);
// The floor line: the bare loop plus, per block, a zero-timeout test of the cancel event and a
// posted byte count to a progress window pumped by another thread.
bool FloorDownload(const char* url, const char* path);

// GetUrlFileSize as the size pass makes it: true when a length was announced.
bool SizeRequest(const char* url);
