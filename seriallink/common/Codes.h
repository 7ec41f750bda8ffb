#pragma once
// Error and result codes of the serial-link modules.
#include "abi/KwxApi.h"

#include <cstdint>

namespace seriallink::code {
constexpr int32_t NoError = 90000;
constexpr int32_t PortNameTooShort = 90001;
constexpr int32_t PortSettingsRejected = 90002;
constexpr int32_t PortCannotOpen = 90003;
constexpr int32_t ModemNoAnswer = 90004;
constexpr int32_t ModemUnexpected = 90005;
constexpr int32_t SignupNumberMissing = 90008;
constexpr int32_t NoCarrierAfterDial = 90009;
constexpr int32_t HandsetNotReady = 90011;
constexpr int32_t StoppedBeforeCall = 90012;
constexpr int32_t PreparationFailed = 90013;
constexpr int32_t NoDestination = 90015;
constexpr int32_t InfoUnexpected = 90016;
constexpr int32_t InfoTooLong = 90017;
constexpr int32_t InfoNoOperation = 90018;
constexpr int32_t Busy = 90019;
constexpr int32_t NoMailsToSend = 90020;
constexpr int32_t GraphsUnavailable = 90021;
constexpr int32_t DirectMailStopped = 90022;
constexpr int32_t RingWaitStopped = 90023;
constexpr int32_t SendStopped = 90024;
constexpr int32_t ReceiveStopped = 90025;
constexpr int32_t ExchangeStopped = 90026;
constexpr int32_t InfoStopped = 90027;
constexpr int32_t InfoNoAnswer = 90028;
constexpr int32_t InfoRefused = 90029;
constexpr int32_t ModemStatusUnreadable = 90030;
constexpr int32_t LightMailUnusable = 90031;
constexpr int32_t InfoNotAble = 90032;
constexpr int32_t DataUnusable = 90033;
constexpr int32_t NoModemMemory = 90101;
constexpr int32_t CentreClosed = 80000;
constexpr int32_t SettingsUnreadable = 80001;
constexpr int32_t PortNotOpen = 80002;
constexpr int32_t WriteFailed = 80006;
constexpr int32_t ReadFailed = 80007;
constexpr int32_t BillingFailed = 80008;
constexpr int32_t CallerNumberFailed = 80009;
constexpr int32_t ReadAbandoned = 80202;
constexpr int32_t LineTooLong = 80203;
constexpr int32_t ThreadFailed = 80301;
constexpr int32_t NotOnline = 80303;
constexpr int32_t ShortWait = 70000;
constexpr int32_t NoReady = 70001;
constexpr int32_t NoProgress = kwx::kNoProgress;
constexpr int32_t CloseTimeout = 70003;
constexpr int32_t ReleaseTimeout = 70004;
constexpr int32_t CallerBrokeOff = 20010;
constexpr int32_t ListTooLong = 20170;
constexpr int32_t CallerRefused = 20520;
constexpr int32_t BadSocket = 20650;
constexpr int32_t BadTag = 20660;
// The sign-up module's word for a connection line of another session.
constexpr int32_t OtherConnection = 20490;
constexpr int32_t UnexpectedLine = 20800;
constexpr int32_t EmptyOrUnknownLine = 20810;
constexpr int32_t ReplyTooLong = 20820;
constexpr int32_t NoAnswerTimeout = 21130;
constexpr int32_t CarrierLost = 21280;
constexpr int32_t StopRingWait = kwx::kDisconnectStopRingWait;

// Reasons given to kwxDisconnect.
constexpr int32_t ReasonUser = kwx::kDisconnectUser;
constexpr int32_t ReasonNoAnswer = kwx::kDisconnectNoAnswer;
}  // namespace seriallink::code
