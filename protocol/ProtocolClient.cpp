#include "protocol/ProtocolClient.h"

#include "protocol/ErrorText.h"
#include "protocol/WireFormat.h"
#include "settings/Settings.h"
#include "text/TextTools.h"
#include "toolkit/Services.h"

#include <cstring>
#include <new>

ProtocolClient::ProtocolClient(const ServerContext& context)
    : context_(context), socket_(std::make_unique<TcpSocket>()) {}

ProtocolClient::~ProtocolClient() = default;

void ProtocolClient::ShowFailure(const char* text, const char* caption) const {
    if (context_.QuietFailures()) return;
    ShowMessageBox(context_.MessageOwner(), text, caption, MB_OK);
}

void ProtocolClient::ShowSystemFailure(int code, const char* caption) const {
    // The shared error text belongs to the thread of the visible requests.
    if (context_.QuietFailures()) return;
    ErrorText& error = ErrorText::Shared();
    error.Format(ErrorText::kSystemMessage, code, 0);
    ShowFailure(error.Text(), caption);
}

std::string PortOutOfRangeText(DWORD port) {
    return "設定のポート (" + FormatInt(static_cast<int32_t>(port)) +
           ") は 1 から 65535 までの数ではありません。[編集]-[設定] でポートを入力し直してください。";
}

int ProtocolClient::Connect() {
    const Settings& settings = context_.ServerSettings();
    // Cut to 16 bits, 70000 would reach port 4464 of the server's machine.
    if (settings.dwPortNo < 1 || settings.dwPortNo > 65535) {
        ShowFailure(PortOutOfRangeText(settings.dwPortNo).c_str(), "Connect失敗");
        return 0;
    }
    socket_->Open(AF_INET, SOCK_STREAM, 0);
    socket_->SetSilenceLimit(context_.SilenceLimitMs());

    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(settings.dwPortNo));

    unsigned long dotted = inet_addr(settings.szAddress.c_str());
    if (dotted != INADDR_NONE) {
        address.sin_addr.s_addr = dotted;
    } else {
        hostent* host = gethostbyname(settings.szAddress.c_str());
        if (!host || !host->h_addr_list || !host->h_addr_list[0]) {
            const int code = WSAGetLastError();  // before anything else can reset it
            ShowSystemFailure(code, "gethostbyname失敗");
            return 0;
        }
        std::memcpy(&address.sin_addr, host->h_addr_list[0], sizeof address.sin_addr);
    }

    if (socket_->Connect(reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // Read at once: creating the shared error text on its first use
        // resets the thread's last error.
        const int code = WSAGetLastError();
        ShowSystemFailure(code, "Connect失敗");
        return 0;
    }
    return 1;
}

bool ProtocolClient::Transfer(const std::string& line, const char* caption, const PieceTaker& take) {
    if (!Connect()) {
        socket_->Close();
        return false;
    }
    socket_->SendText(line, 0);
    try {
        socket_->ReceiveEach(take);
    } catch (const std::bad_alloc&) {
        // No memory for the reply or what is made of it: what arrived is gone.
        socket_->Close();
        ShowFailure(kTextOutOfMemory, caption);
        return false;
    }
    int receiveError = socket_->ReceiveError();
    socket_->Close();

    if (receiveError == WSAETIMEDOUT) {
        // Silent past the limit: say so plainly (not every system has a
        // text for the time-out's code). What arrived is dropped.
        ShowFailure(kTextServerSilent, caption);
        return false;
    }
    if (receiveError != 0) {
        // The connection failed before the server ended the reply: whatever
        // arrived may stop anywhere, even inside a field.
        ShowSystemFailure(receiveError, caption);
        return false;
    }
    return true;
}

ExchangeResult ProtocolClient::Exchange(const std::string& line, const char* failureCaption) {
    ExchangeResult result;
    bool whole = Transfer(line, failureCaption,
                          [&result](std::string_view piece) { result.reply.append(piece.data(), piece.size()); });
    if (!whole) {
        result.reply.clear();
        return result;
    }
    result.success = IsSuccessReply(result.reply);
    if (!result.success) {
        ShowFailure(Unescape(result.reply).c_str(), failureCaption);
    } else if (!IsProtocolReply(result.reply)) {
        // Taken as a success, such bytes would replace a data set by nothing
        // or count as a stored record.
        result.success = false;
        ShowFailure(kTextReplyUnreadable, failureCaption);
    }
    return result;
}

bool ProtocolClient::AcceptReply(const ReplyReader& reader, const char* caption) const {
    switch (reader.Result()) {
    case ReplyReader::Verdict::kSuccess: return true;
    case ReplyReader::Verdict::kEmpty: ShowFailure("", caption); return false;
    case ReplyReader::Verdict::kFailure: ShowFailure(Unescape(reader.FailureText()).c_str(), caption); return false;
    case ReplyReader::Verdict::kUnreadable:
        // Taken as a success, such bytes would replace a data set by nothing.
        ShowFailure(kTextReplyUnreadable, caption);
        return false;
    }
    return false;
}

int ProtocolClient::Hello() { return Exchange(std::string(kHelloLine), kCaptionHello).success ? 1 : 0; }

int ProtocolClient::SendRecord(int dataSet, const std::string& body) {
    context_.ChangeSent(dataSet);
    return Exchange(BuildSetLine(dataSet, body), kCaptionSet).success ? 1 : 0;
}
