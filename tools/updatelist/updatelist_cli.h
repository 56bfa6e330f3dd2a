#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/ansi_codec.h"
#include "platform/crypto.h"

namespace hanamizu::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a file could not be read or written, or does not match
inline constexpr int kExitBadArguments = 2;  // nothing was written

// The publisher's tool for update lists; args are UTF-8 without the program name:
//   write <file> [--mode N] --version MAJOR.MINOR.BUILD --location URL/ --package NAME.exe
//         [--package-file PATH          the block for that package,
//          [--sign PRIVATE.pem]           signed,
//          [--sequence N]                 its release sequence (one more than <file>'s, or 1),
//          [--expires 30d|YYYY-MM-DD]     when it expires (never),
//          [--product NAME]]              for which list name (<file>'s)
//   show <file> [--key PUBLIC.pem]          with the key, what a launcher fetching di04.dat finds
//   verify <file> <package> --key PUBLIC.pem [--previous EARLIER.dat]
//         [--product NAME]                  the name the list is served under (di04.dat)
//         exits 1 when anything does not match, naming what: the signature, the list's name, a
//         sequence older than EARLIER's, the expiry, the package
//   keygen <private.pem> <public.pem>                   a P-256 key pair; never overwrites
// Each file it writes is created where no file or link was; a list is written whole beside its
// name and then replaces the earlier one, a key never replaces one.
int RunUpdateList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const AnsiCodec& shift_jis, SigningCrypto& crypto);

}  // namespace hanamizu::tools
