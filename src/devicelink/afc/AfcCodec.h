#pragma once

// The AFC wire format (com.apple.afc, and house_arrest after vending), shared
// by the program's AFC client and the virtual device's AFC server.
//
// A packet is a 40-byte header (magic "CFA6LPAA", then u64le entire length,
// this length, packet number, operation), the header data (this length - 40
// bytes: fixed u64le parameters and NUL-terminated paths) and a payload
// (entire length - this length bytes: file data of FILE_WRITE requests and
// of DATA responses). Every integer is little-endian.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Afc {

constexpr char kMagic[] = "CFA6LPAA";
constexpr size_t kMagicSize = 8;
constexpr size_t kHeaderSize = 40;
// No request needs more header data than two paths and a few numbers.
constexpr uint64_t kMaxHeaderData = 64 * 1024;
// Bound of a payload held in memory (reads asked of a server are cut to it).
constexpr uint64_t kMaxPayload = 64ull * 1024 * 1024;

enum Op : uint64_t {
    OpInvalid = 0x00,
    OpStatus = 0x01,
    OpData = 0x02,
    OpReadDir = 0x03,
    OpReadFile = 0x04,
    OpWriteFile = 0x05,
    OpWritePart = 0x06,
    OpTruncate = 0x07,
    OpRemovePath = 0x08,
    OpMakeDir = 0x09,
    OpGetFileInfo = 0x0A,
    OpGetDevInfo = 0x0B,
    OpWriteFileAtom = 0x0C,
    OpFileOpen = 0x0D,
    OpFileOpenRes = 0x0E,
    OpFileRead = 0x0F,
    OpFileWrite = 0x10,
    OpFileSeek = 0x11,
    OpFileTell = 0x12,
    OpFileTellRes = 0x13,
    OpFileClose = 0x14,
    OpFileSetSize = 0x15,
    OpGetConInfo = 0x16,
    OpSetConOptions = 0x17,
    OpRenamePath = 0x18,
    OpSetFsBlockSize = 0x19,
    OpSetSocketBlockSize = 0x1A,
    OpFileLock = 0x1B,
    OpMakeLink = 0x1C,
    OpGetFileHash = 0x1D,
    OpSetFileModTime = 0x1E,
    OpGetFileHashRange = 0x1F,
    OpFileSetImmutableHint = 0x20,
    OpGetSizeOfPathContents = 0x21,
    OpRemovePathAndContents = 0x22,
    OpDirOpen = 0x23,
    OpDirOpenResult = 0x24,
    OpDirRead = 0x25,
    OpDirClose = 0x26,
    OpFileReadOffset = 0x27,
    OpFileWriteOffset = 0x28,
};

// Status codes 0 to 23 travel in STATUS packets; 30 and up are client-side.
enum Status : uint64_t {
    Success = 0,
    UnknownError = 1,
    OpHeaderInvalid = 2,
    NoResources = 3,
    ReadError = 4,
    WriteError = 5,
    UnknownPacketType = 6,
    InvalidArg = 7,
    ObjectNotFound = 8,
    ObjectIsDir = 9,
    PermDenied = 10,
    ServiceNotConnected = 11,
    OpTimeout = 12,
    TooMuchData = 13,
    EndOfData = 14,
    OpNotSupported = 15,
    ObjectExists = 16,
    ObjectBusy = 17,
    NoSpaceLeft = 18,
    OpWouldBlock = 19,
    IoError = 20,
    OpInterrupted = 21,
    OpInProgress = 22,
    InternalError = 23,
    MuxError = 30,
    NoMem = 31,
    NotEnoughData = 32,
    DirNotEmpty = 33,
};

enum OpenMode : uint64_t {
    ReadOnly = 1,     // r
    ReadWrite = 2,    // r+, creates
    WriteOnly = 3,    // w, creates, truncates
    WriteRead = 4,    // w+, creates, truncates
    Append = 5,       // a
    ReadAppend = 6,   // a+
};

enum LinkType : uint64_t { HardLink = 1, SymLink = 2 };
enum LockOp : uint64_t { LockShared = 5, LockExclusive = 6, LockUnlock = 12 };

struct Header
{
    uint64_t entireLength = kHeaderSize;
    uint64_t thisLength = kHeaderSize;
    uint64_t packetNum = 0;
    uint64_t operation = OpInvalid;

    uint64_t headerDataLength() const { return thisLength - kHeaderSize; }
    uint64_t payloadLength() const { return entireLength - thisLength; }
};

enum class HeaderCheck { Ok, BadMagic, BadLength };

void putU64(char *out, uint64_t value);
uint64_t getU64(const char *in);
void appendU64(std::string *out, uint64_t value);

void encodeHeader(const Header &header, char out[kHeaderSize]);
// Checks the magic, this length >= 40 and entire length >= this length.
// Bounds on header data and payload are the caller's (they depend on the op).
HeaderCheck decodeHeader(const char in[kHeaderSize], Header *header);

// Whether a decoded header may have its body read: header data within
// kMaxHeaderData and payload within maxPayload. Both sides check this before
// allocating; a client also compares the packet number with its request's.
bool acceptableLengths(const Header &header, uint64_t maxPayload = kMaxPayload);

// A whole packet: header, header data, payload.
std::string packet(uint64_t operation, uint64_t packetNum, const std::string &headerData,
                   const std::string &payload = std::string());
// A response header for a DATA packet of payloadLength bytes (this length 40).
Header dataHeader(uint64_t packetNum, uint64_t payloadLength);
// STATUS, FILE_OPEN_RES or FILE_TELL_RES with one u64 (this = entire = 48).
std::string valuePacket(uint64_t operation, uint64_t packetNum, uint64_t value);

// Request header data.
std::string pathData(const std::string &path);                  // path\0
std::string numberPathData(uint64_t number, const std::string &path);   // u64, path\0
std::string twoPathData(const std::string &from, const std::string &to);

// Reads a NUL-terminated string at *offset, advancing it. False when no NUL
// is found within length.
bool readCString(const char *data, size_t length, size_t *offset, std::string *out);

// DATA bodies: a list of NUL-terminated names (READ_DIR) and key\0value\0
// pairs (GET_FILE_INFO, GET_DEVINFO).
std::string encodeNames(const std::vector<std::string> &names);
bool decodeNames(const char *data, size_t length, std::vector<std::string> *names);
using KeyValues = std::vector<std::pair<std::string, std::string>>;
std::string encodeKeyValues(const KeyValues &pairs);
bool decodeKeyValues(const char *data, size_t length, KeyValues *pairs);

const char *statusName(uint64_t status);

} // namespace Afc
