#include "bridge/appletv/CompanionBrowser.hpp"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>
#include <avahi-common/strlst.h>

#include <algorithm>
#include <array>
#include <memory>

#include "bridge/appletv/AvahiLoopPoll.hpp"
#include "bridge/appletv/TxtRecord.hpp"

namespace orvel {
namespace {

constexpr const char* kCompanionService = "_companion-link._tcp";
constexpr std::string_view kNoDaemon = "Apple TVs are found only while the Avahi daemon runs.";

std::map<std::string, std::string> txtOf(AvahiStringList* list) {
    std::vector<std::string_view> entries;
    for (; list; list = avahi_string_list_get_next(list)) {
        entries.emplace_back(reinterpret_cast<const char*>(avahi_string_list_get_text(list)),
                             avahi_string_list_get_size(list));
    }
    return readTxtRecord(entries);
}

// The address as HostPort writes it (IPv6 in brackets); empty for one that cannot be reached
// by address alone.
std::string addressText(const AvahiAddress& address) {
    std::array<char, AVAHI_ADDRESS_STR_MAX> text{};
    if (!avahi_address_snprint(text.data(), text.size(), &address)) return {};
    if (address.proto == AVAHI_PROTO_INET) return text.data();
    const auto& bytes = address.data.ipv6.address;
    if (bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80) return {};
    std::string bracketed = "[";
    bracketed.append(text.data()).append("]");
    return bracketed;
}

}  // namespace

// One search: its Avahi client, browser and resolvers, and the TVs so far. The window timer
// holds it; completions posted from Avahi's callbacks hold it weakly. Avahi's callbacks get
// the raw pointer: the search owns every Avahi object that could call back and frees them
// before it goes.
struct CompanionBrowser::Search : std::enable_shared_from_this<Search> {
    static constexpr std::size_t kMostTVs = 32;
    static constexpr std::size_t kMostResolvers = 64;  // a TV is seen once per interface and family

    struct FreeClient {
        void operator()(AvahiClient* object) const { avahi_client_free(object); }
    };
    struct FreeBrowser {
        void operator()(AvahiServiceBrowser* object) const { avahi_service_browser_free(object); }
    };
    struct FreeResolver {
        void operator()(AvahiServiceResolver* object) const { avahi_service_resolver_free(object); }
    };

    explicit Search(PollLoop& pollLoop) : loop(pollLoop), poll(pollLoop) {}

    PollLoop& loop;
    std::shared_ptr<CancelToken> token = std::make_shared<CancelToken>();
    AppleTVsFound done;
    std::vector<FoundAppleTV> tvs;
    std::optional<std::string> notice;
    bool finished = false;
    // Freed in the reverse order: resolvers and browser before their client, all before the poll.
    AvahiLoopPoll poll;
    std::unique_ptr<AvahiClient, FreeClient> client;
    std::unique_ptr<AvahiServiceBrowser, FreeBrowser> browser;
    std::vector<std::unique_ptr<AvahiServiceResolver, FreeResolver>> resolvers;

    bool start() {
        int error = 0;
        client.reset(
            avahi_client_new(poll.api(), AvahiClientFlags(0), onClientState, this, &error));
        if (client) {
            browser.reset(avahi_service_browser_new(client.get(), AVAHI_IF_UNSPEC,
                                                    AVAHI_PROTO_UNSPEC, kCompanionService, nullptr,
                                                    AvahiLookupFlags(0), onBrowse, this));
        }
        if (browser) return true;
        notice = std::string(kNoDaemon);
        return false;
    }

    // Avahi objects are not freed from inside their own callbacks: the end comes a turn later.
    void endSoon(std::string why) {
        if (!notice) notice = std::move(why);
        loop.post([weak = weak_from_this()] {
            if (const auto self = weak.lock()) self->finish();
        });
    }

    void finish() {
        if (finished) return;
        finished = true;
        resolvers.clear();
        browser.reset();
        client.reset();
        if (!token->cancelled) done(AppleTVScan{std::move(tvs), std::move(notice)});
    }

    static void onClientState(AvahiClient* /*client*/, AvahiClientState state, void* userdata) {
        if (state == AVAHI_CLIENT_FAILURE)
            static_cast<Search*>(userdata)->endSoon(std::string(kNoDaemon));
    }

    static void onBrowse(AvahiServiceBrowser* /*browser*/, AvahiIfIndex interface,
                         AvahiProtocol protocol, AvahiBrowserEvent event, const char* name,
                         const char* type, const char* domain, AvahiLookupResultFlags /*flags*/,
                         void* userdata) {
        auto& self = *static_cast<Search*>(userdata);
        if (event == AVAHI_BROWSER_FAILURE) {
            std::string why = "Apple TVs could not be searched for: ";
            why.append(avahi_strerror(avahi_client_errno(self.client.get()))).append(".");
            self.endSoon(std::move(why));
            return;
        }
        // A TV that leaves within the window was still there when the scan began.
        if (event != AVAHI_BROWSER_NEW || self.finished ||
            self.resolvers.size() >= kMostResolvers) {
            return;
        }
        AvahiServiceResolver* resolver = avahi_service_resolver_new(
            self.client.get(), interface, protocol, name, type, domain, AVAHI_PROTO_UNSPEC,
            AvahiLookupFlags(0), onResolved, userdata);
        if (resolver) self.resolvers.emplace_back(resolver);
    }

    static void onResolved(AvahiServiceResolver* /*resolver*/, AvahiIfIndex /*interface*/,
                           AvahiProtocol /*protocol*/, AvahiResolverEvent event, const char* name,
                           const char* /*type*/, const char* /*domain*/, const char* /*host*/,
                           const AvahiAddress* address, uint16_t port, AvahiStringList* txt,
                           AvahiLookupResultFlags /*flags*/, void* userdata) {
        if (event != AVAHI_RESOLVER_FOUND || !address || !name) return;
        static_cast<Search*>(userdata)->add(name, *address, port, txt);
    }

    void add(const std::string& name, const AvahiAddress& address, int port, AvahiStringList* txt) {
        auto text = addressText(address);
        if (text.empty() || finished) return;
        const bool ipv4 = address.proto == AVAHI_PROTO_INET;
        auto known = std::find_if(tvs.begin(), tvs.end(),
                                  [&](const FoundAppleTV& tv) { return tv.name == name; });
        if (known == tvs.end()) {
            if (tvs.size() >= kMostTVs) return;
            known = tvs.insert(tvs.end(), FoundAppleTV{name, {}, 0, {}});
        } else if (!ipv4 || !known->address.starts_with('[')) {
            return;  // the first answer stands unless this one brings the IPv4 address
        }
        known->address = std::move(text);
        known->port = port;
        known->txt = txtOf(txt);
    }
};

CompanionBrowser::CompanionBrowser(PollLoop& loop, double window) : loop_(loop), window_(window) {}

CompanionBrowser::~CompanionBrowser() = default;

CancelHandle CompanionBrowser::find(double seconds, AppleTVsFound done) {
    auto search = std::make_shared<Search>(loop_);
    search->done = std::move(done);
    CancelHandle handle(search->token);
    if (!search->start()) {
        loop_.post([search] { search->finish(); });
        return handle;
    }
    loop_.postAfter(seconds, [search] { search->finish(); }).detach();
    return handle;
}

CancelHandle CompanionBrowser::search(AppleTVsFound done) {
    return find(window_, std::move(done));
}

}  // namespace orvel
