#include "bridge/appletv/CompanionTexts.hpp"
#include "core/JoinText.hpp"

namespace orvel::CompanionTexts {

std::string pairingSentence(const PairingFailure& failure) {
    using enum PairingFailure::Kind;
    std::string sentence;
    switch (failure.kind) {
        case wrongCode:
            sentence = "The code does not match the one the Apple TV shows.";
            break;
        case backoff:
            sentence = "The Apple TV asks to wait before pairing again.";
            break;
        case tooManyTries:
            sentence = "The Apple TV refuses pairing after too many tries.";
            break;
        case noRoom:
            sentence = "The Apple TV cannot hold another pairing.";
            break;
        case unavailable:
            sentence = "The Apple TV does not offer pairing now.";
            break;
        case busy:
            sentence = "The Apple TV is pairing with another device.";
            break;
        case refused:
            sentence = "The Apple TV refused pairing.";
            break;
        case badSignature:
            sentence = "The Apple TV could not prove its identity.";
            break;
        case otherTV:
            sentence = "Another Apple TV answers at this address.";
            break;
        case notRecognised:
            sentence = "The Apple TV no longer knows this pairing; pair again.";
            break;
        case malformed:
            sentence = "The Apple TV's pairing answer could not be read.";
            break;
    }
    if (failure.retryDelay && *failure.retryDelay > 0) {
        sentence += joinText({" Try again in ", std::to_string(*failure.retryDelay), " s."});
    }
    return sentence;
}

std::string wrongCode(const std::string& name) {
    return joinText({"The code didn't match. Check the code on ", name, " and try again."});
}

std::string pairingRefused(const std::string& name) {
    return joinText({name,
                     " refuses pairing for now after failed attempts. Wait a minute, or "
                     "restart the Apple TV, and try again."});
}

std::string pairAgain(const std::string& name) {
    return joinText({name,
                     " no longer accepts this computer's pairing. Forget it in Settings "
                     "and pair it again."});
}

std::string notPaired(const std::string& name) {
    return joinText({name, " is not paired with this computer. Pair it in Settings first."});
}

std::string pairingStep(const std::string& name, const PairingFailure* failure) {
    using enum PairingFailure::Kind;
    if (!failure) return didNotAnswer(name);
    if (failure->kind == wrongCode) return CompanionTexts::wrongCode(name);
    if (failure->kind == backoff || failure->kind == tooManyTries) return pairingRefused(name);
    return pairingSentence(*failure);
}

std::string verifyStep(const std::string& name, const PairingFailure* failure) {
    using enum PairingFailure::Kind;
    if (!failure) return didNotAnswer(name);
    if (failure->kind == otherTV) {
        return joinText({"Another Apple TV answers where ", name,
                         " was. Forget it in Settings and pair it again."});
    }
    if (failure->kind == notRecognised || failure->kind == badSignature) return pairAgain(name);
    return pairingSentence(*failure);
}

std::string noTextField(const std::string& name) {
    return joinText({"Select a text field on ", name, " first, then type again."});
}

std::string refused(const std::string& name, const std::string& action) {
    return joinText(
        {name, " refused the \"", action, "\" action. Try again once something plays."});
}

std::string noApp(const std::string& name, const std::string& app) {
    return joinText({name, " could not open the app \"", app, "\"."});
}

}  // namespace orvel::CompanionTexts
