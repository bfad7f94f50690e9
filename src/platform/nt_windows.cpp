#include "platform/nt_windows.hpp"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/errors_windows.hpp"

namespace platform::nt {
namespace {

constexpr NTSTATUS NOT_IMPLEMENTED = static_cast<NTSTATUS>(0xC0000002L);
constexpr NTSTATUS NAME_TOO_LONG = static_cast<NTSTATUS>(0xC0000106L);
constexpr NTSTATUS INVALID_INFO_CLASS = static_cast<NTSTATUS>(0xC0000003L);
constexpr NTSTATUS INVALID_PARAMETER = static_cast<NTSTATUS>(0xC000000DL);
constexpr NTSTATUS NOT_SUPPORTED = static_cast<NTSTATUS>(0xC00000BBL);

using create_file_function = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                              PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using file_information_function = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
using query_directory_function = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID,
                                                  ULONG, FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN);
using status_to_error_function = ULONG(NTAPI*)(NTSTATUS);
using process_information_function = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
using read_write_function = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                             PLARGE_INTEGER, PULONG);

// ntdll's functions, found once. ntdll.dll is in every process, so each is there; a missing one
// makes its calls fail with NOT_IMPLEMENTED rather than crash.
struct functions {
  create_file_function create_file;
  file_information_function set_information;
  file_information_function query_information;
  query_directory_function query_directory;
  status_to_error_function status_to_error;
  process_information_function query_process;
  read_write_function read_file;
  read_write_function write_file;
  bool wine;  // ntdll exports wine_get_version: the program runs under Wine
};

template <typename function>
function find(HMODULE module, const char* name) {
  return reinterpret_cast<function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const functions& ntdll() {
  static const functions found = [] {
    const HMODULE module = GetModuleHandleW(L"ntdll.dll");
    return functions{
        find<create_file_function>(module, "NtCreateFile"),
        find<file_information_function>(module, "NtSetInformationFile"),
        find<file_information_function>(module, "NtQueryInformationFile"),
        find<query_directory_function>(module, "NtQueryDirectoryFile"),
        find<status_to_error_function>(module, "RtlNtStatusToDosError"),
        find<process_information_function>(module, "NtQueryInformationProcess"),
        find<read_write_function>(module, "NtReadFile"),
        find<read_write_function>(module, "NtWriteFile"),
        GetProcAddress(module, "wine_get_version") != nullptr,
    };
  }();
  return found;
}

// Room for a record of type `record` whose last member, a name, holds `name_bytes` bytes, aligned
// for the record's pointers and 64-bit numbers.
template <typename record>
class record_buffer {
 public:
  explicit record_buffer(std::size_t name_bytes)
      : size_(std::max(sizeof(record), sizeof(record) + name_bytes)),
        words_((size_ + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t)) {}
  record* get() { return reinterpret_cast<record*>(words_.data()); }
  ULONG size() const { return static_cast<ULONG>(size_); }

 private:
  std::size_t size_;
  std::vector<std::uint64_t> words_;
};

NTSTATUS set_information(HANDLE file, void* information, ULONG size, FILE_INFORMATION_CLASS kind) {
  if (ntdll().set_information == nullptr) return NOT_IMPLEMENTED;
  IO_STATUS_BLOCK status{};
  return ntdll().set_information(file, &status, information, size, kind);
}

}  // namespace

int errno_from_status(NTSTATUS status) {
  if (status == FILE_IS_A_DIRECTORY) return EISDIR;  // the system error would be "access denied"
  if (ntdll().status_to_error == nullptr) return EIO;
  return errno_from(ntdll().status_to_error(status));
}

bool under_wine() { return ntdll().wine; }

std::uintptr_t parent_process_id() {
  PROCESS_BASIC_INFORMATION basic{};
  if (ntdll().query_process == nullptr ||
      !succeeded(ntdll().query_process(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr))) {
    return 0;
  }
  return basic.InheritedFromUniqueProcessId;
}

NTSTATUS open(HANDLE folder, std::wstring_view name, const open_request& request, file_handle& file,
              ULONG_PTR* information) {
  if (ntdll().create_file == nullptr) return NOT_IMPLEMENTED;
  if (name.size() * sizeof(wchar_t) > 0xFFFE) return NAME_TOO_LONG;
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name.data());
  text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK status{};
  HANDLE opened = INVALID_HANDLE_VALUE;
  const NTSTATUS result = ntdll().create_file(&opened, request.access | SYNCHRONIZE, &attributes, &status, nullptr,
                                              FILE_ATTRIBUTE_NORMAL, request.share, request.disposition,
                                              request.options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (!succeeded(result)) return result;
  file = file_handle(opened);
  if (information != nullptr) *information = status.Information;
  return result;
}

NTSTATUS rename(HANDLE file, HANDLE folder, std::wstring_view name) {
  const std::size_t bytes = name.size() * sizeof(wchar_t);
  record_buffer<FILE_RENAME_INFORMATION> buffer(bytes);
  FILE_RENAME_INFORMATION* rename = buffer.get();
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = folder;
  rename->FileNameLength = static_cast<ULONG>(bytes);
  std::memcpy(rename->FileName, name.data(), bytes);
  return set_information(file, rename, buffer.size(), FileRenameInformation);
}

NTSTATUS mark_deleted(HANDLE file) {
  FILE_DISPOSITION_INFORMATION disposition{TRUE};
  return set_information(file, &disposition, sizeof disposition, FileDispositionInformation);
}

NTSTATUS set_attributes(HANDLE file, DWORD attributes) {
  FILE_BASIC_INFORMATION basic{};  // times of zero are left as they are
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  return set_information(file, &basic, sizeof basic, FileBasicInformation);
}

namespace {

template <typename record>
NTSTATUS query(HANDLE file, record& information, FILE_INFORMATION_CLASS kind) {
  if (ntdll().query_information == nullptr) return NOT_IMPLEMENTED;
  IO_STATUS_BLOCK status{};
  return ntdll().query_information(file, &status, &information, sizeof information, kind);
}

NTSTATUS read_or_write(read_write_function call, HANDLE file, std::uint64_t offset, void* bytes, ULONG length,
                       ULONG& done) {
  done = 0;
  if (call == nullptr) return NOT_IMPLEMENTED;
  IO_STATUS_BLOCK status{};
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  const NTSTATUS result = call(file, nullptr, nullptr, nullptr, &status, bytes, length, &at, nullptr);
  if (succeeded(result)) done = static_cast<ULONG>(status.Information);
  return result;
}

}  // namespace

NTSTATUS read_at(HANDLE file, std::uint64_t offset, void* bytes, ULONG length, ULONG& read) {
  return read_or_write(ntdll().read_file, file, offset, bytes, length, read);
}

NTSTATUS write_at(HANDLE file, std::uint64_t offset, const void* bytes, ULONG length, ULONG& written) {
  return read_or_write(ntdll().write_file, file, offset, const_cast<void*>(bytes), length, written);
}

NTSTATUS attributes_of(HANDLE file, DWORD& attributes) {
  FILE_ATTRIBUTE_TAG_INFORMATION tag{};
  const NTSTATUS result = query(file, tag, FileAttributeTagInformation);
  attributes = tag.FileAttributes;
  return result;
}

NTSTATUS links_of(HANDLE file, std::uint32_t& links) {
  FILE_STANDARD_INFORMATION standard{};
  const NTSTATUS result = query(file, standard, FileStandardInformation);
  links = standard.NumberOfLinks;
  return result;
}

NTSTATUS size_and_write_time_of(HANDLE file, std::uint64_t& size, std::uint64_t& written) {
  FILE_STANDARD_INFORMATION standard{};
  FILE_BASIC_INFORMATION basic{};
  NTSTATUS result = query(file, standard, FileStandardInformation);
  if (succeeded(result)) result = query(file, basic, FileBasicInformation);
  size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  written = static_cast<std::uint64_t>(basic.LastWriteTime.QuadPart);
  return result;
}

NTSTATUS index_of(HANDLE file, std::uint64_t& index) {
  FILE_INTERNAL_INFORMATION internal{};
  const NTSTATUS result = query(file, internal, FileInternalInformation);
  index = static_cast<std::uint64_t>(internal.IndexNumber.QuadPart);
  return result;
}

NTSTATUS name_of(HANDLE file, std::wstring& name) {
  if (ntdll().query_information == nullptr) return NOT_IMPLEMENTED;
  record_buffer<FILE_NAME_INFORMATION> buffer(0xFFFF * sizeof(wchar_t));
  IO_STATUS_BLOCK status{};
  const NTSTATUS result = ntdll().query_information(file, &status, buffer.get(), buffer.size(), FileNameInformation);
  if (!succeeded(result)) return result;
  name.assign(buffer.get()->FileName, buffer.get()->FileNameLength / sizeof(wchar_t));
  return result;
}

NTSTATUS list(HANDLE folder, void* buffer, ULONG size, bool restart, listing_form& form) {
  if (ntdll().query_directory == nullptr) return NOT_IMPLEMENTED;
  const auto query_as = [&](listing_form asked) {
    IO_STATUS_BLOCK status{};
    const FILE_INFORMATION_CLASS kind =
        asked == listing_form::with_index ? FileIdFullDirectoryInformation : FileDirectoryInformation;
    return ntdll().query_directory(folder, nullptr, nullptr, nullptr, &status, buffer, size, kind, FALSE, nullptr,
                                   restart ? TRUE : FALSE);
  };
  if (!restart) return query_as(form);
  // Every file system of Windows since XP gives indexes; one that does not refuses the form.
  form = listing_form::with_index;
  const NTSTATUS listed = query_as(form);
  if (listed != INVALID_INFO_CLASS && listed != INVALID_PARAMETER && listed != NOT_SUPPORTED) return listed;
  form = listing_form::plain;
  return query_as(form);
}

}  // namespace platform::nt
