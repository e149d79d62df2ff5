// The session's telnet parser: option negotiation, subnegotiations and the
// split of the host's bytes into records at IAC EOR. Reader thread.
#include <algorithm>
#include <cstring>

#include "uLastError.h"
#include "uPLIntfLogg.h"
#include "uPLTelnet.h"

using namespace telnet;

namespace {
// IAC SB, the head bytes, the text with its 0xFF bytes doubled, IAC SE.
std::vector<uint8_t> Subnegotiation(std::initializer_list<uint8_t> head, const std::string& text) {
    std::vector<uint8_t> out = {IAC, SB};
    out.insert(out.end(), head);
    for (char c : text) {
        out.push_back(static_cast<uint8_t>(c));
        if (static_cast<uint8_t>(c) == IAC) out.push_back(IAC);
    }
    out.insert(out.end(), {IAC, SE});
    return out;
}
} // namespace

void TPLTelnet::Receive(const uint8_t* data, size_t len) {
    blockOffset_ = receiveLog_.Received(data, len);
    NewData(data, len);
    receiveLog_.Dump(false);
}

void TPLTelnet::NewData(const uint8_t* data, size_t len) {
    const bool follow = receiveLog_.Holding();
    size_t i = 0;
    // After a disconnection nothing more of the block is read: the check
    // comes before each run of data and before each command byte.
    while (i < len && !parsingStopped_.load(std::memory_order_relaxed)) {
        const size_t taken = AtPlainData() ? AddDataRun(data + i, len - i) : 0;
        if (taken != 0) {
            if (follow) receiveLog_.RecordBytes(recordBytes_, blockOffset_ + i, taken);
            recordBytes_ += taken;
            bytesSinceRecordEnd_ += taken;
            i += taken;
            continue;
        }
        ++bytesSinceRecordEnd_;
        parseOffset_ = blockOffset_ + i;
        ParseByte(data[i++]);
    }
    if (follow && i < len) receiveLog_.NeverParsed(blockOffset_ + i);
    FlushData();
}

size_t TPLTelnet::AddDataRun(const uint8_t* data, size_t len) {
    // Records are mostly data: everything up to the next IAC goes into the
    // record in one copy, as far as the buffer's room reaches.
    const void* iac = std::memchr(data, IAC, len);
    const size_t run = iac ? static_cast<size_t>(static_cast<const uint8_t*>(iac) - data) : len;
    const size_t taken = std::min(run, kBufferSize - pending_);
    std::memcpy(record_.data() + pending_, data, taken);
    pending_ += taken;
    if (pending_ == kBufferSize) FlushData();
    return taken;
}

void TPLTelnet::ParseByte(uint8_t b) {
    if (pendingVerb_ != 0) {
        const uint8_t verb = pendingVerb_;
        pendingVerb_ = 0;
        subCount_ = 0;
        Negotiate(verb, b);
        return;
    }
    if (inSubnegotiation_) {
        // Only IAC SE ends a subnegotiation: an SE without IAC is a byte of
        // its text, a doubled IAC one 0xFF byte, and an IAC before any other
        // byte is kept with it.
        if (!subIacSeen_) {
            if (b == IAC)
                subIacSeen_ = true;
            else
                AddSubnegotiationByte(b);
            return;
        }
        subIacSeen_ = false;
        if (b != SE) {
            AddSubnegotiationByte(IAC);
            if (b != IAC) AddSubnegotiationByte(b);
            return;
        }
        inSubnegotiation_ = false;
        const uint16_t count = subCount_;
        subCount_ = 0;
        DoSubnegotiation(subBuffer_, count);
        return;
    }
    if (iacSeen_) {
        iacSeen_ = false;
        switch (b) {
        case EOR:
            EndOfRecord();
            break;
        case SB:
            inSubnegotiation_ = true;
            subIacSeen_ = false;
            subCount_ = 0;
            break;
        case WILL:
        case WONT:
        case DO:
        case DONT:
            pendingVerb_ = b;
            break;
        case IAC:
            AddByte(IAC);
            break;
        default:
            break; // other commands carry nothing for us
        }
        return;
    }
    if (b == IAC)
        iacSeen_ = true;
    else
        AddByte(b);
}

// A party never acknowledges a request to enter a mode it is already in, or
// two parties that both did would negotiate for ever: only a change of an
// option is answered, and a refusal is said once. A request to turn off an
// option in effect is always honoured and answered (RFC 854), each direction
// on its own (RFC 1143): DONT with WONT, WONT with DONT.
void TPLTelnet::Negotiate(uint8_t verb, uint8_t option) {
    const bool hostSide = verb == WILL || verb == WONT;
    const bool enable = verb == WILL || verb == DO;
    TOptionSide& side = (hostSide ? hostOptions_ : ourOptions_)[option];
    if (enable && side.On) return; // in effect already
    if (enable && Agrees(verb, option)) {
        side = {true, false};
        Accept(verb, option);
        ModesFollow();
        return;
    }
    if (side.On) {
        side = {false, true};
        SendCommand(hostSide ? DONT : WONT, option);
        ModesFollow();
        return;
    }
    // Options the transport does not know are refused, TN3270E (40)
    // included: a WILL or a WONT with DONT, a DO or a DONT with WONT, once.
    // The others it knows stay quiet when it does not take them up, and so
    // does a request to stop what is off already.
    const bool known = Agrees(WILL, option) || Agrees(DO, option);
    if (known || side.Off) return;
    side.Off = true;
    SendCommand(hostSide ? DONT : WONT, option);
}

bool TPLTelnet::ModeOn(uint8_t option) const {
    const TOptionSide &ours = ourOptions_[option], &host = hostOptions_[option];
    return (ours.On || host.On) && !ours.Off && !host.Off;
}

void TPLTelnet::ModesFollow() {
    // Bytes framed under one mode do not belong to a record of another: the
    // next record starts clean.
    const bool binary = ModeOn(BINARY);
    if (binary != binaryIn_) {
        binaryIn_ = binaryOut_ = binary;
        DropRecord("cambio el modo BINARY");
    }
    const bool framing = ModeOn(END_OF_RECORD);
    if (framing != recordFraming_) {
        recordFraming_ = framing;
        DropRecord("cambio el modo END-OF-RECORD");
    }
}

bool TPLTelnet::Agrees(uint8_t verb, uint8_t option) {
    switch (option) {
    case BINARY:
    case SGA:
    case END_OF_RECORD:
        return true;
    case ECHO:
        return verb == WILL;
    case SEND_LOCATION:
    case TERMINAL_TYPE:
        return verb == DO;
    default:
        return false;
    }
}

void TPLTelnet::Accept(uint8_t verb, uint8_t option) {
    SendCommand(verb == WILL ? DO : WILL, option);
    switch (option) {
    case BINARY:
        break; // ModesFollow
    case ECHO:
        echoAgreed_ = true;
        break;
    case SGA:
        sgaAgreed_ = true;
        break;
    case SEND_LOCATION: {
        if (OnSendLocation) OnSendLocation(*this);
        const auto answer = Subnegotiation({SEND_LOCATION}, Location);
        SendData(answer.data(), answer.size());
        break;
    }
    default: // TERMINAL-TYPE, END-OF-RECORD
        recordAgreed_ = true;
        break;
    }
}

void TPLTelnet::DoSubnegotiation(const uint8_t* data, size_t count) {
    if (count <= 1 || data[0] != TERMINAL_TYPE || data[1] != TT_SEND) return;
    ++termTypeRequests_;
    if (termTypeRequests_ == 1) {
        if (OnTerminalType) OnTerminalType(*this);
        const auto answer = Subnegotiation({TERMINAL_TYPE, TT_IS}, TermType);
        SendData(answer.data(), answer.size());
        return;
    }
    // Asked again: the host refused the terminal type we named.
    EndWithError("Invalid Terminal Type or LU Name");
}

void TPLTelnet::AddSubnegotiationByte(uint8_t b) {
    // Bytes past the buffer are dropped; what the host asks for stands in
    // the first bytes.
    if (subCount_ < kSubnegotiationSize) subBuffer_[subCount_++] = b;
}

void TPLTelnet::AddByte(uint8_t b) {
    if (receiveLog_.Holding()) receiveLog_.RecordBytes(recordBytes_, parseOffset_, 1);
    ++recordBytes_;
    record_[pending_++] = b;
    if (pending_ == kBufferSize) FlushData();
}

void TPLTelnet::FlushData() {
    if (pending_ == 0) return;
    const size_t n = pending_;
    pending_ = 0;
    DataReceived(record_.data(), n);
}

void TPLTelnet::DropRecord(const std::string& why) {
    const size_t length = recordBytes_;
    pending_ = 0;
    recordBytes_ = 0;
    if (stream_) stream_->DropRecord();
    receiveLog_.RecordDropped();
    if (length != 0)
        WriteLog(1, Format("%.4d : TPLTelnet: Registro de %d bytes descartado sin interpretar: %s",
                           SessionId, static_cast<int>(length), why.c_str()));
}

void TPLTelnet::DataReceived(const uint8_t* data, size_t len) {
    if (OnData) OnData(*this, data, len);
    if (len != 0 && stream_) stream_->AddData(data, len);
}

void TPLTelnet::TextReceived(const uint8_t* data, size_t len) {
    if (len == 0) return;
    size_t end = 0;
    while (end < len && data[end] >= 32)
        ++end;
    std::string text(reinterpret_cast<const char*>(data), end);
    WriteLog(1, Format("%.4d : ERROR: %s", SessionId, text.c_str()));
}

void TPLTelnet::EndOfRecord() {
    bytesSinceRecordEnd_ = 0;
    FlushData();
    if (!binaryIn_)
        TextReceived(record_.data(), 0);
    else if (OnBinaryRecord)
        OnBinaryRecord(*this);
    if (!stream_) {
        recordBytes_ = 0;
        receiveLog_.RecordEnded({});
        return;
    }
    if (stream_->Overlong()) {
        DropRecord(
            Format("supera el limite de %d bytes", static_cast<int>(TPLTnStream::kMaxRecordSize)));
    } else {
        recordBytes_ = 0;
        // A record the engine cannot interpret costs that record only: what
        // it changed before the failure is still shown, and the records after
        // it in the block are still read.
        try {
            stream_->ProcessRecord();
        } catch (const std::exception& e) {
            LogRecordError(e);
        }
        receiveLog_.RecordEnded(stream_->HiddenBytes());
    }
    try {
        TPLTndisplay* display = stream_->Display();
        if (!display) return;
        if (display->Changed) {
            display->Changed = false;
            GenHostFields();
            RaiseEvent(ceScreenChanged);
        }
        display->SetStatus(stream_->GetStatusText());
    } catch (const std::exception& e) {
        LogRecordError(e);
    }
}

void TPLTelnet::LogRecordError(const std::exception& e) {
    WriteLog(1, Format("%.4d : ERROR:-> TThSocketRead.Execute: %s", SessionId, e.what()));
}
