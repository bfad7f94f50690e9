// The Wine benchmark's baseline: the plainest Windows program that does the tool's two jobs, built
// with the same MinGW-w64 toolchain and zlib, so that what Wine costs every program can be told
// from what the tool costs itself. One thread, no checks beyond what it needs to run:
//
//   wine_baseline ARCHIVE           reads the index, then each entry's span (ReadFile at its
//                                   offset), inflates it with zlib and writes it into the folder
//                                   named by ARCHIVE less four characters (CreateFileW, WriteFile,
//                                   CloseHandle), folders made as names need them; table.bin too;
//                                   a line for each entry on standard output, as the tool prints
//   wine_baseline -c NEW FOLDER     reads every file under FOLDER (FindFirstFileW, CreateFileW,
//                                   ReadFile, CloseHandle) but FOLDER\table.bin, compresses each
//                                   with zlib and writes NEW: header, streams, compressed index;
//                                   a line for each file
//
// The layout (big-endian numbers): bytes 8-11 hold the index's offset; the index, one zlib stream
// to the end of the file, inflates to at most 524,288 bytes: 6 bytes, the entry count, 16 bytes,
// then per entry a name length byte, the name (ANSI code page), offset, size and 17 bytes.

#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr std::size_t INDEX_SIZE = 524288;
constexpr std::size_t RECORDS_AT = 26;
constexpr std::size_t TRAILER = 17;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "wine_baseline: %s (error %lu)\n", what, GetLastError());
  std::exit(2);
}

std::wstring wide(const std::string& text, UINT code_page) {
  std::wstring out(text.size() + 1, L'\0');
  const int length = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                         static_cast<int>(out.size()));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string narrow(const std::wstring& text, UINT code_page) {
  std::string out(text.size() * 4 + 1, '\0');
  const int length = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                         static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::uint32_t be32(const unsigned char* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

void put_be32(std::uint32_t value, unsigned char* out) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

void read_at(HANDLE file, std::uint64_t offset, void* buffer, DWORD length) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!ReadFile(file, buffer, length, &got, &at) || got != length) fail("cannot read the archive");
}

void write_whole(HANDLE file, const void* data, std::size_t length) {
  DWORD written = 0;
  if (length > 0 && (!WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr) || written != length)) {
    fail("cannot write");
  }
}

void write_file(const std::wstring& path, const void* data, std::size_t length) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail("cannot create a file");
  write_whole(file, data, length);
  CloseHandle(file);
}

// Makes the folders that `path` (inside `root`, separated by '\') passes through.
void make_folders(const std::wstring& root, const std::wstring& path) {
  for (std::size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    CreateDirectoryW((root + L'\\' + path.substr(0, at)).c_str(), nullptr);
  }
}

int extract(const std::wstring& archive_path) {
  HANDLE archive = CreateFileW(archive_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (archive == INVALID_HANDLE_VALUE) fail("cannot open the archive");
  LARGE_INTEGER size;
  GetFileSizeEx(archive, &size);
  unsigned char field[4];
  read_at(archive, 8, field, 4);
  const std::uint32_t index_offset = be32(field);
  std::vector<unsigned char> compressed(static_cast<std::size_t>(size.QuadPart) - index_offset);
  read_at(archive, index_offset, compressed.data(), static_cast<DWORD>(compressed.size()));
  std::vector<unsigned char> index(INDEX_SIZE);
  uLongf inflated = INDEX_SIZE;
  if (uncompress(index.data(), &inflated, compressed.data(), static_cast<uLong>(compressed.size())) != Z_OK) {
    fail("the index does not inflate");
  }
  const std::wstring root = archive_path.substr(0, archive_path.size() - 4);
  CreateDirectoryW(root.c_str(), nullptr);
  write_file(root + L"\\table.bin", index.data(), index.size());

  struct record {
    std::string name;
    std::uint32_t offset, size;
  };
  std::vector<record> records(be32(&index[6]));
  std::size_t at = RECORDS_AT;
  for (record& r : records) {
    const std::size_t length = index[at++];
    r.name.assign(reinterpret_cast<const char*>(&index[at]), length);
    r.offset = be32(&index[at + length]);
    r.size = be32(&index[at + length + 4]);
    at += length + 8 + TRAILER;
  }
  const std::string shown_root = narrow(root, CP_ACP);
  std::printf("\n");
  std::vector<unsigned char> span, data;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::uint32_t end = i + 1 < records.size() ? records[i + 1].offset : index_offset;
    span.resize(end - records[i].offset);
    read_at(archive, records[i].offset, span.data(), static_cast<DWORD>(span.size()));
    data.resize(records[i].size);
    uLongf length = records[i].size;
    if (uncompress(data.data(), &length, span.data(), static_cast<uLong>(span.size())) != Z_OK) fail("bad entry");
    const std::wstring name = wide(records[i].name, CP_ACP);
    make_folders(root, name);
    write_file(root + L'\\' + name, data.data(), length);
    std::printf("%s\\%s\n", shown_root.c_str(), records[i].name.c_str());
  }
  std::printf("Extracion Complete");
  CloseHandle(archive);
  return 0;
}

// Every file under `folder` (relative names, '\' between parts) but the top's table.bin.
void find_files(const std::wstring& folder, const std::wstring& relative, std::vector<std::wstring>& files) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L'\\' + relative + L'*').c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      find_files(folder, relative + name + L'\\', files);
    } else if (!(relative.empty() && name == L"table.bin")) {
      files.push_back(relative + name);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

std::vector<unsigned char> read_whole(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail("cannot open a file");
  LARGE_INTEGER size;
  GetFileSizeEx(file, &size);
  std::vector<unsigned char> bytes(static_cast<std::size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty() &&
      (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size())) {
    fail("cannot read a file");
  }
  CloseHandle(file);
  return bytes;
}

int pack(const std::wstring& archive_path, const std::wstring& folder) {
  std::vector<std::wstring> files;
  find_files(folder, L"", files);
  HANDLE archive = CreateFileW(archive_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (archive == INVALID_HANDLE_VALUE) fail("cannot create the archive");
  unsigned char header[12] = {};
  write_whole(archive, header, sizeof header);
  std::vector<unsigned char> index(RECORDS_AT);
  put_be32(static_cast<std::uint32_t>(files.size()), &index[6]);
  std::uint32_t offset = sizeof header;
  const std::string shown_folder = narrow(folder, CP_ACP);
  std::vector<unsigned char> stream;
  for (const std::wstring& file : files) {
    const std::vector<unsigned char> bytes = read_whole(folder + L'\\' + file);
    uLongf length = compressBound(static_cast<uLong>(bytes.size()));
    stream.resize(length);
    if (compress2(stream.data(), &length, bytes.data(), static_cast<uLong>(bytes.size()), 6) != Z_OK) fail("deflate");
    write_whole(archive, stream.data(), length);
    const std::string name = narrow(file, CP_ACP);
    index.push_back(static_cast<unsigned char>(name.size()));
    index.insert(index.end(), name.begin(), name.end());
    unsigned char numbers[8 + TRAILER] = {};
    put_be32(offset, numbers);
    put_be32(static_cast<std::uint32_t>(bytes.size()), numbers + 4);
    index.insert(index.end(), numbers, numbers + sizeof numbers);
    offset += static_cast<std::uint32_t>(length);
    std::printf("%s\\%s  (new)\n", shown_folder.c_str(), name.c_str());
  }
  uLongf length = compressBound(static_cast<uLong>(index.size()));
  stream.resize(length);
  if (compress2(stream.data(), &length, index.data(), static_cast<uLong>(index.size()), 9) != Z_OK) fail("deflate");
  write_whole(archive, stream.data(), length);
  unsigned char field[4];
  put_be32(offset, field);
  SetFilePointer(archive, 8, nullptr, FILE_BEGIN);
  write_whole(archive, field, 4);
  CloseHandle(archive);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2) return extract(argv[1]);
  if (argc == 4 && std::wstring(argv[1]) == L"-c") return pack(argv[2], argv[3]);
  std::fprintf(stderr, "usage: wine_baseline ARCHIVE | wine_baseline -c NEW FOLDER\n");
  return 2;
}
