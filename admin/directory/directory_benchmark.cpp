// Benchmarks of the layer against OpenLDAP's own tools on the test directory's 10,000-user OU:
//   listing:  Enumerate with everything the tab shows, against ldapsearch of the same entries
//             and attributes (paged the same way);
//   changing: both paths on every user, listed, then written through the layer, against
//             ldapmodify applying the same modifications from an LDIF file.
// Prints each time and the ratio (goals: listing <= 1.1, changing <= 1.2).  Run it through
// tools/benchmark-directory, which builds it optimised and starts the test directory.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "admin/directory/change_journal.h"
#include "admin/directory/directory.h"
#include "admin/directory/user_parameters.h"

using namespace vela::directory;

namespace {

constexpr char kOu[] = "OU=Big,DC=example,DC=test";

double Seconds(const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

int Fail(const Outcome& o) {
    std::fprintf(stderr, "benchmark: %s: %s\n", FaultName(o.fault), o.message.c_str());
    return 1;
}

}  // namespace

int main() {
    const ConnectionSettings settings = SettingsFromEnvironment();
    if (settings.url.empty()) {
        std::fprintf(stderr, "benchmark: set VELA_DIRECTORY=ldap://host:port (tools/benchmark-directory does)\n");
        return 2;
    }
    const std::string tmp = std::getenv("VELA_TEST_DIRECTORY") ? std::getenv("VELA_TEST_DIRECTORY") : "/tmp";
    // The machine may be shared: every figure is the best of several rounds, after one round
    // that warms the server's caches and gives every user a userParameters value.
    const int rounds = 6;

    // Listing.
    double layerList = 1e9, toolList = 1e9;
    std::size_t listed = 0;
    const std::string search = "ldapsearch -x -LLL -o ldif-wrap=no -E pr=1000/noprompt -H " + settings.url + " -b '" +
                               kOu + "' -s one '(objectClass=user)' objectClass structuralObjectClass sAMAccountName " +
                               "profilePath userParameters >/dev/null";
    for (int r = 0; r < rounds; ++r) {
        Outcome o;
        const double layer = Seconds([&] {
            auto c = ConnectLdap(settings);
            if (!(o = c.outcome)) return;
            Directory d(*c.client);
            listed = 0;
            o = d.Enumerate(std::string("LDAP://") + kOu, {"user"}, [&](const DirObject&) { return ++listed, true; });
        });
        if (!o) return Fail(o);
        int rc = 0;
        const double tool = Seconds([&] { rc = std::system(search.c_str()); });
        if (r > 0) layerList = std::min(layerList, layer), toolList = std::min(toolList, tool);
        if (rc != 0) return std::fprintf(stderr, "benchmark: ldapsearch failed\n"), 1;
    }
    std::printf("listing %zu users: layer %.3f s, ldapsearch %.3f s, ratio %.2f (goal <= 1.1)\n", listed, layerList,
                toolList, layerList / toolList);

    // Changing both paths on every user; the two take turns going first.
    double layerSet = 1e9, toolSet = 1e9;
    std::size_t changed = 0;
    const std::string ldif = tmp + "/benchmark.ldif";
    for (int r = 0; r < rounds; ++r) {
        const std::string round = std::to_string(r);
        Outcome listed, written;
        auto layer = [&] {
            auto c = ConnectLdap(settings);
            if (!(listed = c.outcome)) return;
            Directory d(*c.client);
            changed = 0;
            // As the walk does: the container's users first, then one commit each.
            std::vector<DirObject> users;
            listed = d.Enumerate(std::string("LDAP://") + kOu, {"user"}, [&](const DirObject& u) {
                users.push_back(u);
                return true;
            });
            for (const auto& u : users) {
                Changes ch;
                ch.Put("profilePath", "\\\\fs\\layer" + round + "\\" + *u.samAccountName);
                ch.Put("TerminalServicesProfilePath", "\\\\ts\\layer" + round + "\\" + *u.samAccountName);
                if (!(written = d.SetInfo(u, ch))) return;
                ++changed;
            }
        };
        // The same modifications for ldapmodify, made (untimed) from the directory as it is.
        auto prepare = [&] {
            auto c = ConnectLdap(settings);
            if (!(listed = c.outcome)) return;
            Directory d(*c.client);
            std::ofstream out(ldif, std::ios::binary);
            listed = d.Enumerate(std::string("LDAP://") + kOu, {"user"}, [&](const DirObject& u) {
                const std::string path = "\\\\ts\\tool" + round + "\\" + *u.samAccountName;
                const std::u16string wide(path.begin(), path.end());
                const auto blob = WireToBlob(u.userParameters.value_or(""));
                const auto w = WriteTsProfilePath(blob ? std::optional<std::string_view>(*blob) : std::nullopt, path, wide);
                out << "dn: " << u.dn << "\nchangetype: modify\nreplace: profilePath\nprofilePath: \\\\fs\\tool" << round
                    << "\\" << *u.samAccountName << "\n-\nreplace: userParameters\nuserParameters:: "
                    << Base64(BlobToWire(w.blob)) << "\n-\n\n";
                return true;
            });
        };
        int rc = 0;
        auto tool = [&] { rc = std::system(("ldapmodify -x -H " + settings.url + " -f " + ldif + " >/dev/null").c_str()); };
        double layerTime, toolTime;
        if (r % 2 == 0) {
            layerTime = Seconds(layer);
            prepare();
            toolTime = Seconds(tool);
        } else {
            prepare();
            toolTime = Seconds(tool);
            layerTime = Seconds(layer);
        }
        std::remove(ldif.c_str());
        if (!listed) return Fail(listed);
        if (!written) return Fail(written);
        if (rc != 0) return std::fprintf(stderr, "benchmark: ldapmodify failed\n"), 1;
        if (r > 0) layerSet = std::min(layerSet, layerTime), toolSet = std::min(toolSet, toolTime);
    }
    std::printf("changing both paths of %zu users: layer %.3f s, ldapmodify %.3f s, ratio %.2f (goal <= 1.2)\n",
                changed, layerSet, toolSet, layerSet / toolSet);
    return 0;
}
