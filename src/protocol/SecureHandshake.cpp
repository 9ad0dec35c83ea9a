// SPDX-License-Identifier: GPL-3.0-or-later
#include "SecureHandshake.h"

#include "MojoTree.h"

#include <cstring>

namespace {

constexpr std::string_view kLabel = "QuillonCPace/1";
constexpr int32_t kVersion = 1;
constexpr std::size_t kSidSize = 16;
constexpr std::size_t kTagSize = crypto_auth_hmacsha512_BYTES;

using Sid = std::array<uint8_t, kSidSize>;
using Tag = Secret<kTagSize>;

Bytes channelIdentifier()
{
    return cpace::lvCat({kLabel, std::string_view("phone"), std::string_view("receiver")});
}

Bytes phoneData()
{
    return cpace::lvCat({std::string_view("phone"), std::string_view("1")});
}

Bytes receiverData(std::string_view name)
{
    return cpace::lvCat({std::string_view("receiver"), std::string_view("1"), name});
}

// Lowercase hex of exactly `size` bytes, nothing else.
bool fromHex(const char* text, uint8_t* out, std::size_t size)
{
    if (text == nullptr || std::strlen(text) != 2 * size)
        return false;
    auto nibble = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    for (std::size_t i = 0; i < size; ++i) {
        const int high = nibble(text[2 * i]);
        const int low = nibble(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        out[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

std::string toHex(ByteView bytes)
{
    std::string text(2 * bytes.size + 1, '\0');
    sodium_bin2hex(&text[0], text.size(), bytes.data, bytes.size);
    text.pop_back();
    return text;
}

void add(mojo_node* dictionary, const char* name, mojo_node* value)
{
    mojo_dic_insert(dictionary, mojo_create_pair(mojo_create_pair_value(name, value)));
}

// The payload of `tree`, or nothing when it does not fit a message.
Bytes encode(const MojoTree& tree)
{
    Bytes payload(REMOTE_RECEIVE_CAPACITY);
    const int length = mojo_encode(tree.get(), payload.data(), static_cast<int>(payload.size()));
    payload.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return payload;
}

Bytes stringMessage(std::initializer_list<std::pair<const char*, std::string>> entries)
{
    MojoTree tree(mojo_create_with_type(MOJO_DICTIONARY));
    for (const auto& entry : entries)
        add(tree.get(), entry.first, mojo_create_string(entry.second.c_str()));
    return encode(tree);
}

Bytes refusal()
{
    MojoTree tree(mojo_create_with_type(MOJO_DICTIONARY));
    add(tree.get(), "Rsp", mojo_create_int(1));
    return encode(tree);
}

// The dictionary that is the whole payload, or null.
MojoTree readDictionary(const uint8_t* payload, std::size_t length)
{
    if (payload == nullptr || length == 0 || length > REMOTE_RECEIVE_CAPACITY)
        return nullptr;
    MojoTree tree(mojo_create());
    if (mojo_decode(tree.get(), payload, static_cast<int>(length)) != static_cast<int>(length)
        || tree->type != MOJO_DICTIONARY)
        return nullptr;
    return tree;
}

const char* text(const MojoTree& dictionary, const char* name)
{
    return mojo_get_string(mojo_dic_get_value(dictionary.get(), name));
}

} // namespace

struct HandshakeState {
    enum class Step { Fresh, AwaitingShare, AwaitingTb, AwaitingTa, TagTaken, Confirmed, Refused };
    Step step = Step::Fresh;
    Sid sid{};
    cpace::Scalar scalar;
    cpace::Share ya{};
    cpace::Share yb{};
    Hmac512 ka;
    Hmac512 kb;
    Bytes transcript;
    Tag ta; // ours on the phone, the one taken on the receiver
    bool taTaken = false;
    SessionKeys keys;

    // From K: ISK, the confirmation keys, the record keys and the transcript
    // the tags cover.
    void deriveKeys(const cpace::Point& k, std::string_view receiverName, bool phone)
    {
        const Bytes ada = phoneData();
        const Bytes adb = receiverData(receiverName);
        cpace::Isk isk;
        cpace::isk(sid, k, ya, ada, yb, adb, isk);
        Hmac512 prk;
        hkdfExtract(sid, isk, prk);
        RecordKey phoneToReceiver;
        RecordKey receiverToPhone;
        hkdfExpand(prk, std::string_view("QuillonCPace/1 confirm phone"), ka.data(), ka.size());
        hkdfExpand(prk, std::string_view("QuillonCPace/1 confirm receiver"), kb.data(), kb.size());
        hkdfExpand(prk, std::string_view("QuillonCPace/1 records phone to receiver"), phoneToReceiver.data(),
                   phoneToReceiver.size());
        hkdfExpand(prk, std::string_view("QuillonCPace/1 records receiver to phone"), receiverToPhone.data(),
                   receiverToPhone.size());
        keys.sending = phone ? phoneToReceiver : receiverToPhone;
        keys.receiving = phone ? receiverToPhone : phoneToReceiver;
        transcript = cpace::lvCat({channelIdentifier(), sid, ya, ada, yb, adb});
        scalar.wipe();
    }

    void tagA(Tag& out) const { hmacSha512(ka, {transcript}, out); }
    void tagB(const Tag& a, Tag& out) const { hmacSha512(kb, {transcript, a}, out); }

    // Every secret wiped; nothing but a refusal follows.
    HandshakeResult refuse(HandshakeResult result)
    {
        *this = HandshakeState();
        step = Step::Refused;
        return result;
    }
};

PhoneHandshake::PhoneHandshake()
    : state_(std::make_unique<HandshakeState>())
{
}

PhoneHandshake::~PhoneHandshake() = default;

const SessionKeys* PhoneHandshake::keys() const
{
    return state_->step == HandshakeState::Step::Confirmed ? &state_->keys : nullptr;
}

HandshakeResult PhoneHandshake::start(std::string_view passcode, Bytes& payload)
{
    payload.clear();
    HandshakeState& s = *state_;
    if (s.step != HandshakeState::Step::Fresh || !sodiumReady())
        return s.refuse(HandshakeResult::Failed);
    randombytes_buf(s.sid.data(), s.sid.size());
    cpace::Point g;
    cpace::generator(passcode, channelIdentifier(), s.sid, g);
    if (!cpace::freshShare(g, s.scalar, s.ya))
        return s.refuse(HandshakeResult::Failed);

    MojoTree tree(mojo_create_with_type(MOJO_DICTIONARY));
    add(tree.get(), "Cmd", mojo_create_string("SecureLogin"));
    add(tree.get(), "Ver", mojo_create_int(kVersion));
    add(tree.get(), "Sid", mojo_create_string(toHex(s.sid).c_str()));
    add(tree.get(), "Ya", mojo_create_string(toHex(s.ya).c_str()));
    payload = encode(tree);
    s.step = HandshakeState::Step::AwaitingShare;
    return HandshakeResult::Ok;
}

HandshakeResult PhoneHandshake::answer(const uint8_t* reply, std::size_t length, Bytes& payload)
{
    payload.clear();
    HandshakeState& s = *state_;
    if (s.step != HandshakeState::Step::AwaitingShare)
        return s.refuse(HandshakeResult::Failed);
    const MojoTree dictionary = readDictionary(reply, length);
    if (!dictionary)
        return s.refuse(HandshakeResult::Malformed);
    if (mojo_dic_get_value(dictionary.get(), "Yb") == nullptr)
        return s.refuse(HandshakeResult::PlainOnly);
    const char* name = text(dictionary, "Name");
    if (name == nullptr || !fromHex(text(dictionary, "Yb"), s.yb.data(), s.yb.size()))
        return s.refuse(HandshakeResult::Malformed);

    cpace::Point k;
    if (!cpace::sharedPoint(s.scalar, s.ya, s.yb, k))
        return s.refuse(HandshakeResult::BadShare);
    s.deriveKeys(k, name, true);
    s.tagA(s.ta);
    s.ka.wipe();
    payload = stringMessage({{"Ta", toHex(s.ta)}});
    receiverName_ = name;
    s.step = HandshakeState::Step::AwaitingTb;
    return HandshakeResult::Ok;
}

HandshakeResult PhoneHandshake::confirm(const uint8_t* reply, std::size_t length)
{
    HandshakeState& s = *state_;
    if (s.step != HandshakeState::Step::AwaitingTb)
        return s.refuse(HandshakeResult::Failed);
    const MojoTree dictionary = readDictionary(reply, length);
    Tag received;
    if (!dictionary || !fromHex(text(dictionary, "Tb"), received.data(), received.size()))
        return s.refuse(HandshakeResult::BadTag);
    Tag expected;
    s.tagB(s.ta, expected);
    if (crypto_verify_64(expected.data(), received.data()) != 0)
        return s.refuse(HandshakeResult::BadTag);
    s.kb.wipe();
    s.step = HandshakeState::Step::Confirmed;
    return HandshakeResult::Ok;
}

ReceiverHandshake::ReceiverHandshake(std::string name)
    : state_(std::make_unique<HandshakeState>())
    , name_(std::move(name))
{
    name_.resize(std::strlen(name_.c_str()));
}

ReceiverHandshake::~ReceiverHandshake() = default;

const SessionKeys* ReceiverHandshake::keys() const
{
    return state_->step == HandshakeState::Step::Confirmed ? &state_->keys : nullptr;
}

HandshakeResult ReceiverHandshake::hello(std::string_view passcode, const uint8_t* request, std::size_t length,
                                         Bytes& payload)
{
    payload.clear();
    HandshakeState& s = *state_;
    const MojoTree dictionary = readDictionary(request, length);
    const char* command = dictionary ? text(dictionary, "Cmd") : nullptr;
    if (s.step == HandshakeState::Step::Fresh && (command == nullptr || std::strcmp(command, "SecureLogin") != 0))
        return s.refuse(HandshakeResult::NotSecureLogin);

    HandshakeResult result = HandshakeResult::Ok;
    int32_t version = 0;
    cpace::Point k;
    if (s.step != HandshakeState::Step::Fresh || !sodiumReady()) {
        result = HandshakeResult::Failed;
    } else if (mojo_get_int(mojo_dic_get_value(dictionary.get(), "Ver"), &version) != 0
               || !fromHex(text(dictionary, "Sid"), s.sid.data(), s.sid.size())
               || !fromHex(text(dictionary, "Ya"), s.ya.data(), s.ya.size())) {
        result = HandshakeResult::Malformed;
    } else if (version != kVersion) {
        result = HandshakeResult::UnknownVersion;
    } else {
        cpace::Point g;
        cpace::generator(passcode, channelIdentifier(), s.sid, g);
        if (!cpace::freshShare(g, s.scalar, s.yb))
            result = HandshakeResult::Failed;
        else if (!cpace::sharedPoint(s.scalar, s.yb, s.ya, k))
            result = HandshakeResult::BadShare;
    }
    if (result == HandshakeResult::Ok) {
        s.deriveKeys(k, name_, false);
        payload = stringMessage({{"Yb", toHex(s.yb)}, {"Name", name_}});
        if (payload.empty())
            result = HandshakeResult::Failed; // a name too long for a message
    }
    if (result != HandshakeResult::Ok) {
        payload = refusal();
        return s.refuse(result);
    }
    s.step = HandshakeState::Step::AwaitingTa;
    return HandshakeResult::Ok;
}

HandshakeResult ReceiverHandshake::takeTag(const uint8_t* request, std::size_t length)
{
    HandshakeState& s = *state_;
    if (s.step != HandshakeState::Step::AwaitingTa)
        return s.refuse(HandshakeResult::Failed);
    const MojoTree dictionary = readDictionary(request, length);
    s.taTaken = dictionary && fromHex(text(dictionary, "Ta"), s.ta.data(), s.ta.size());
    s.step = HandshakeState::Step::TagTaken;
    return s.taTaken ? HandshakeResult::Ok : HandshakeResult::Malformed;
}

HandshakeResult ReceiverHandshake::verifyTag(Bytes& payload)
{
    payload = refusal();
    HandshakeState& s = *state_;
    if (s.step != HandshakeState::Step::TagTaken)
        return s.refuse(HandshakeResult::Failed);
    Tag expected;
    s.tagA(expected);
    if (!s.taTaken || crypto_verify_64(expected.data(), s.ta.data()) != 0)
        return s.refuse(HandshakeResult::BadTag);
    Tag tb;
    s.tagB(s.ta, tb);
    payload = stringMessage({{"Tb", toHex(tb)}});
    s.ka.wipe();
    s.kb.wipe();
    s.step = HandshakeState::Step::Confirmed;
    return HandshakeResult::Ok;
}
