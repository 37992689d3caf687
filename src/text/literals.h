// Every text this program shows or writes, as code-page-932 bytes.
//
// The bytes are written as escapes so that no editor or compiler source charset can change
// them; the Japanese beside each one is only for the reader. The files get these bytes as they
// are; a console text built from them may reach a POSIX console converted to the character set
// of the user's locale (platform::ConsoleBytes), never the output file.
#pragma once

#include <string_view>

namespace talvo::text {

// Usage text, one line each; the driver joins them with CR LF.
inline constexpr std::string_view kUsageInput = "i:\x93\xFC\x97\xCD\x43SV\x83t\x83@\x83\x43\x83\x8B\x96\xBC\x83t\x83\x8B\x83p\x83X";  // i:入力CSVファイル名フルパス
inline constexpr std::string_view kUsageOutput = "o:\x8Fo\x97\xCD\x43SV\x83t\x83@\x83\x43\x83\x8B\x96\xBC\x83t\x83\x8B\x83p\x83X";  // o:出力CSVファイル名フルパス
inline constexpr std::string_view kUsageHeader = "f:\x8D\x80\x96\xDA\x8Ds\x97L\x96\xB3";  // f:項目行有無
inline constexpr std::string_view kUsageHeaderAbsent = "    0:\x82\xC8\x82\xB5";  //     0:なし
inline constexpr std::string_view kUsageHeaderPresent = "    1:\x82\xA0\x82\xE8";  //     1:あり
inline constexpr std::string_view kUsageColumn = "r:\x8F\x88\x97\x9D\x91\xCE\x8F\xDB\x97\xF1(\x89\xBD\x97\xF1\x96\xDA\x82\xA9\x82\xF0\x90\x94\x92l\x82\xC5\x8Ew\x92\xE8)";  // r:処理対象列(何列目かを数値で指定)
inline constexpr std::string_view kUsageWrite = "w:\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x97\xF1";  // w:書き込み列
inline constexpr std::string_view kUsageWriteOverwrite = "    0:\x93\xAF\x97\xF1\x82\xC9\x8F\xE3\x8F\x91\x82\xAB";  //     0:同列に上書き
inline constexpr std::string_view kUsageWriteAppend = "    1:\x8D\xC5\x8C\xE3\x94\xF6\x82\xC9\x97\xF1\x82\xF0\x92\xC7\x89\xC1";  //     1:最後尾に列を追加
inline constexpr std::string_view kUsageCheckType = "c:\x83`\x83\x46\x83\x62\x83N\x83\x66\x83W\x83\x62\x83g\x8E\xED\x95\xCA";  // c:チェックデジット種別
inline constexpr std::string_view kUsageLuhn = "    5:\x83\x8B\x81[\x83\x93\x83YM10W2";  //     5:ルーンズM10W2
inline constexpr std::string_view kUsageWeightedM11 = "    8:\x89\xC1\x8F\x64M11";  //     8:加重M11

// Open failure and the I/O code texts.
inline constexpr std::string_view kCannotOpen = "\x83t\x83@\x83\x43\x83\x8B\x82\xF0\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1";  // ファイルを開けません
inline constexpr std::string_view kIoFileNotFound = "\x83t\x83@\x83\x43\x83\x8B\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";  // ファイルが見つかりません
inline constexpr std::string_view kIoPathNotFound = "\x83t\x83@\x83\x43\x83\x8B\x96\xBC\x82\xCC\x8Ew\x92\xE8\x82\xAA\x8A\xD4\x88\xE1\x82\xC1\x82\xC4\x82\xA2\x82\xDC\x82\xB7";  // ファイル名の指定が間違っています
inline constexpr std::string_view kIoTooManyOpenFiles = "\x83I\x81[\x83v\x83\x93\x82\xB5\x82\xBD\x83t\x83@\x83\x43\x83\x8B\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xDC\x82\xB7";  // オープンしたファイルが多すぎます
inline constexpr std::string_view kIoAccessDenied = "\x83t\x83@\x83\x43\x83\x8B\x82\xD6\x82\xCC\x83\x41\x83N\x83Z\x83X\x82\xAA\x8B\x91\x94\xDB\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD";  // ファイルへのアクセスが拒否されました
inline constexpr std::string_view kIoErrorOpen = "I/O \x83G\x83\x89\x81[ (";  // I/O エラー (
inline constexpr std::string_view kIoErrorClose = ")";

// Integer text that fails to convert: "'" + text + kNotIntegerTail.
inline constexpr std::string_view kNotIntegerHead = "'";
inline constexpr std::string_view kNotIntegerTail = "' \x82\xCD\x90\xAE\x90\x94\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";  // ' は整数ではありません

// Failure report: kind + kReportRaisedIn + module + kReportAt + address + kReportOccurred.
inline constexpr std::string_view kReportRaisedIn = " \x82\xAA\x83\x82\x83W\x83\x85\x81[\x83\x8B ";  //  がモジュール 
inline constexpr std::string_view kReportAt = " \x82\xCC ";  //  の 
inline constexpr std::string_view kReportOccurred = " \x82\xC5\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42";  //  で発生しました。
inline constexpr std::string_view kConvertErrorKind = "EConvertError";
inline constexpr std::string_view kInOutErrorKind = "EInOutError";
inline constexpr std::string_view kOutOfMemoryKind = "EOutOfMemory";
inline constexpr std::string_view kOutOfMemory = "\x83\x81\x83\x82\x83\x8A\x82\xAA\x95\x73\x91\xAB\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7";  // メモリが不足しています
// Any other exception that reaches the report; its message is the run-time library's text.
inline constexpr std::string_view kExceptionKind = "Exception";

// Marker appended to a data line whose column or check type is not integer text.
inline constexpr std::string_view kMarker = ",\x95\xB6\x8E\x9A\x97\xF1\x88\xD9\x8F\xED";  // ,文字列異常
// Appended to the header line when the check result goes into a new last column.
inline constexpr std::string_view kHeaderSuffix = ",OutPut";

// Start-up refusals written to standard error, each followed by the path and CR LF.
inline constexpr std::string_view kInputNotFound = "\x93\xFC\x97\xCD\x83t\x83@\x83\x43\x83\x8B\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1: ";  // 入力ファイルが見つかりません: 
inline constexpr std::string_view kOutputDirNotFound = "\x8Fo\x97\xCD\x90\xE6\x83t\x83H\x83\x8B\x83_\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1: ";  // 出力先フォルダが見つかりません: 

// Error words the check methods write into the output file in place of a result.
inline constexpr std::string_view kNone = "none";
inline constexpr std::string_view kInputCharacterError = "Input Character Error";
inline constexpr std::string_view kInputLengthError = "Input Length Error";

inline constexpr std::string_view kCrLf = "\r\n";

// The UTF-8 byte-order mark that spreadsheet programs put at the start of a UTF-8 CSV file. It
// belongs to no field: it is passed through to the start of the output.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace talvo::text
