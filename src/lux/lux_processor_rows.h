// The processors that differ only in data: each is a row served by TKrLuxRowProcessor, and each row's
// class is named here so it is registered and made like any other processor.
//
// Families (command word as application class / command ID):
// - subject columns of the news server (1410/6000, 1411/6002, 1411/6001): query bodies, XML "result"
//   replies;
// - great events (1303/3316) and research reports (1403/6302, attachments 1403/6327): binary query
//   records, XML "DataSet" replies, links built from the corporate-events and report servers;
// - the community service (1802/97xx: opinion ballots, the index guessing game, user fractions,
//   comments): binary records or a text body, JSON replies.
// The request fields and reply fields of each row are listed in lux_processor_rows.cpp.
#pragma once

#include "lux/lux_row_processor.h"

namespace kdp {

extern const TLuxProcessorRow kGreatEventRow;
extern const TLuxProcessorRow kResearchReportRow;
extern const TLuxProcessorRow kResearchReportAttachmentRow;
extern const TLuxProcessorRow kSubjectContentRow;
extern const TLuxProcessorRow kSubjectRow;
extern const TLuxProcessorRow kSubjectListRow;
extern const TLuxProcessorRow kViewPointBallotRow;
extern const TLuxProcessorRow kSubjectAddViewsRow;
extern const TLuxProcessorRow kBallotStateRow;
extern const TLuxProcessorRow kSHIndexBallotRow;
extern const TLuxProcessorRow kSHIndexUserIsGamblingRow;
extern const TLuxProcessorRow kSHIndexGamblingRow;
extern const TLuxProcessorRow kSHIndexGamblingResultRow;
extern const TLuxProcessorRow kUserFractionRow;
extern const TLuxProcessorRow kFractionDeductRow;
extern const TLuxProcessorRow kSubjectCommentNumRow;
extern const TLuxProcessorRow kSubjectCommentsRow;
extern const TLuxProcessorRow kGetSubjectResourceIDRow;
extern const TLuxProcessorRow kSubjectCommentsByResourceIDRow;
extern const TLuxProcessorRow kSubmitUserCommentRow;

// Corporate events of securities; "DateRange" "Future2Weeks" or "pre1year" sets the occurrence dates.
using TKrLuxGreatEventDataProcessor = TKrLuxRowProcessorFor<kGreatEventRow>;
// Research reports of a security; "startDate" and "endDate" bound the storage time.
using TKrLuxResearchReportDataProcessor = TKrLuxRowProcessorFor<kResearchReportRow>;
// The attachments of one report ("ID"). Not registered: the report pane makes it.
using TKrLuxGetResearchReportAttachment = TKrLuxRowProcessorFor<kResearchReportAttachmentRow>;
using TKrLuxSubjectContentDataProcessor = TKrLuxRowProcessorFor<kSubjectContentRow>;
using TKrLuxSubjectDataProcessor = TKrLuxRowProcessorFor<kSubjectRow>;
// Search only.
using TKrLuxSubjectListDataProcessor = TKrLuxRowProcessorFor<kSubjectListRow>;
using TKrLuxViewPointBallotDataProcessor = TKrLuxRowProcessorFor<kViewPointBallotRow>;
// Adds the user's view to a survey. Not registered: the ballot pane makes it.
using TKrLuxSubjectAddViews = TKrLuxRowProcessorFor<kSubjectAddViewsRow>;
using TKrLuxBallotStateDataProcessor = TKrLuxRowProcessorFor<kBallotStateRow>;
using TKrLuxSHIndexBallotDataProcessor = TKrLuxRowProcessorFor<kSHIndexBallotRow>;
using TKrLuxSHIndexUserIsGamblingDataProcessor = TKrLuxRowProcessorFor<kSHIndexUserIsGamblingRow>;
using TKrLuxSHIndexGamblingDataProcessor = TKrLuxRowProcessorFor<kSHIndexGamblingRow>;
using TKrLuxSHIndexGamblingResultDataProcessor = TKrLuxRowProcessorFor<kSHIndexGamblingResultRow>;
using TKrLuxUserFractionDataProcessor = TKrLuxRowProcessorFor<kUserFractionRow>;
using TKrLuxFractionDeductDataProcessor = TKrLuxRowProcessorFor<kFractionDeductRow>;
using TKrLuxSubjectCommentNumProcessor = TKrLuxRowProcessorFor<kSubjectCommentNumRow>;
using TKrLuxSubjectCommentsProcessor = TKrLuxRowProcessorFor<kSubjectCommentsRow>;
using TKrLuxGetSubjectResourceIDProcessor = TKrLuxRowProcessorFor<kGetSubjectResourceIDRow>;
using TKrLuxSubjectCommentsByResourceIDProcessor = TKrLuxRowProcessorFor<kSubjectCommentsByResourceIDRow>;
// A comment ("SubmitComments", command 9717) or a like ("SubmitLike", command 9723), whichever is given
// (a like first).
using TKrLuxSubmitUserComment = TKrLuxRowProcessorFor<kSubmitUserCommentRow>;

}  // namespace kdp
