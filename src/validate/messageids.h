// Every message the validator reports, with its severity. The IDs are those of
// the W3C Feed Validator where it has one, so users can look a message up by
// its name; the few marked "ours" cover tags that validator does not know.
#pragma once

enum class Severity { Error, Warning, Info };

// X(ID, severity) for every message, in no particular order.
#define ORVAN_VALIDATION_MESSAGES(X)                                                               \
    X(SAXError, Error)                                                                             \
    X(MissingNamespace, Error)                                                                     \
    X(NotInANamespace, Error)                                                                      \
    X(UseOfExtensionAttr, Warning)                                                                 \
    X(InvalidRSSVersion, Error)                                                                    \
    X(UndefinedElement, Error)                                                                     \
    X(MissingAttribute, Error)                                                                     \
    X(UnexpectedAttribute, Error)                                                                  \
    X(DuplicateElement, Error)                                                                     \
    X(NotEnoughHoursInTheDay, Error)                                                               \
    X(EightDaysAWeek, Error)                                                                       \
    X(InvalidValue, Error)                                                                         \
    X(InvalidContact, Error)                                                                       \
    X(InvalidAddrSpec, Error)                                                                      \
    X(InvalidLink, Error)                                                                          \
    X(UriNotIri, Error)                                                                            \
    X(InvalidFullLink, Error)                                                                      \
    X(InvalidUriChar, Error)                                                                       \
    X(InvalidW3CDTFDate, Error)                                                                    \
    X(InvalidRFC2822Date, Error)                                                                   \
    X(IncorrectDOW, Error)                                                                         \
    X(InvalidURLAttribute, Error)                                                                  \
    X(InvalidIntegerAttribute, Error)                                                              \
    X(InvalidBooleanAttribute, Error)                                                              \
    X(InvalidMIMEAttribute, Error)                                                                 \
    X(InvalidInteger, Error)                                                                       \
    X(InvalidNonNegativeInteger, Error)                                                            \
    X(InvalidPositiveInteger, Error)                                                               \
    X(InvalidWidth, Error)                                                                         \
    X(InvalidHeight, Error)                                                                        \
    X(InvalidHour, Error)                                                                          \
    X(InvalidDay, Error)                                                                           \
    X(InvalidHttpGUID, Error)                                                                      \
    X(InvalidLanguage, Error)                                                                      \
    X(InvalidItunesCategory, Error)                                                                \
    X(InvalidItunesEpisodeType, Error)                                                             \
    X(InvalidItunesChannelType, Error)                                                             \
    X(ObsoleteItunesCategory, Warning)                                                             \
    X(InvalidYesNo, Error)                                                                         \
    X(InvalidYesNoClean, Error)                                                                    \
    X(InvalidDuration, Error)                                                                      \
    X(TooLong, Error)                                                                              \
    X(MissingElement, Error)                                                                       \
    X(MissingDescription, Error)                                                                   \
    X(MissingLink, Error)                                                                          \
    X(MissingTitle, Error)                                                                         \
    X(ItemMustContainTitleOrDescription, Error)                                                    \
    X(DuplicateValue, Error)                                                                       \
    X(DuplicateAtomLink, Error)                                                                    \
    X(MissingHref, Error)                                                                          \
    X(AtomLinkNotEmpty, Warning)                                                                   \
    X(UnexpectedText, Error)                                                                       \
    X(InvalidPermalink, Error)                                                                     \
    X(InvalidFormComponentName, Error)                                                             \
    X(DuplicateItemSemantics, Warning)                                                             \
    X(ImageLinkDoesntMatch, Warning)                                                               \
    X(ImageUrlFormat, Warning)                                                                     \
    X(ContainsRelRef, Warning)                                                                     \
    X(NotSufficientlyUnique, Warning)                                                              \
    X(ImplausibleDate, Warning)                                                                    \
    X(ProblematicalRFC822Date, Warning)                                                            \
    X(SecurityRisk, Warning)                                                                       \
    X(SecurityRiskAttr, Warning)                                                                   \
    X(DangerousStyleAttr, Warning)                                                                 \
    X(ContainsHTML, Warning)                                                                       \
    X(NotHtml, Warning)                                                                            \
    X(MissingAtomSelfLink, Warning)                                                                \
    X(SelfDoesntMatchLocation, Warning)                                                            \
    X(RelativeSelf, Warning)                                                                       \
    X(NotBlank, Warning)                                                                           \
    X(MissingItunesElement, Warning)                                                               \
    X(MissingItunesEmail, Warning)                                                                 \
    X(UnsupportedItunesFormat, Warning)                                                            \
    X(DuplicateEnclosure, Warning)                                                                 \
    X(MissingGuid, Warning)                                                                        \
    X(SchemeNotIANARegistered, Warning)                                                            \
    X(CharacterData, Warning)                                                                      \
    X(EmailFormat, Warning)                                                                        \
    X(MissingRealName, Warning)                                                                    \
    X(MisplacedItem, Warning)                                                                      \
    X(ImageTitleDoesntMatch, Warning)                                                              \
    X(AvoidTextInput, Warning)                                                                     \
    X(NeedDescriptionBeforeContent, Warning)                                                       \
    X(SlashDate, Warning)                                                                          \
    X(UseZeroForMidnight, Warning)                                                                 \
    X(MissingDCLanguage, Info)                                                                     \
    /* ours: Podcasting 2.0 tags */                                                                \
    X(InvalidPodcastGuid, Error)                                                                   \
    X(PodcastGuidNotVersion5, Warning)                                                             \
    X(InvalidPodcastLocked, Error)                                                                 \
    X(InvalidPodcastMedium, Error)                                                                 \
    X(MissingTranscriptType, Error)                                                                \
    X(InvalidTranscriptType, Warning)                                                              \
    X(MissingChaptersType, Error)                                                                  \
    X(InvalidChaptersType, Warning)

enum class Msg {
#define ORVAN_MESSAGE_ENUM(id, severity) id,
    ORVAN_VALIDATION_MESSAGES(ORVAN_MESSAGE_ENUM)
#undef ORVAN_MESSAGE_ENUM
};

// "InvalidRFC2822Date" for Msg::InvalidRFC2822Date.
const char* MessageId(Msg msg);
Severity MessageSeverity(Msg msg);
