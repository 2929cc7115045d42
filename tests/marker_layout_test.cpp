// One marker written byte by byte, without the record layouts the export
// reads with, holding every kind the export converts: a wrong offset, width or
// type of any field shows as a wrong value in the document.

#include <gtest/gtest.h>

#include "support/marker_test_support.h"

namespace tsln2xml::test {
namespace {

// Each kind's bytes, in kind order after a directory of 40 positions.
class MarkerBytes {
 public:
  MarkerBytes() {
    for (int k = 0; k < 40; ++k) b_.I32(k == 0 ? 0 : -1);
  }
  ByteBuilder& Kind(int kind) {
    b_.PatchI32(4 * static_cast<size_t>(kind), static_cast<int32_t>(b_.size()));
    return b_;
  }
  marker::MarkerData Data() const { return {b_.bytes()}; }

 private:
  ByteBuilder b_;
};

marker::MarkerData EveryKind() {
  MarkerBytes m;
  ByteBuilder& h = m.Kind(1);  // the header, 318 bytes
  h.I16(2);
  for (int k = 0; k < 15; ++k) h.F64(1.5 + k);  // stripe and plaid offsets and repeats, width, lengths
  h.I8(-3).Zeros(1);
  for (int k = 0; k < 6; ++k) h.F64(20.25 + k);  // areas, efficiency, utilization, perimeters
  h.I16(172).I16(174).I16(176).I16(178).I16(180);
  h.I16(1).I16(1).I16(186).I16(1).I16(190).I16(1).I16(1).I16(1).I16(1).I16(1).I16(1);  // 182-202
  h.I16(204).Zeros(2).I16(208).I16(210).I16(212).I16(1).Zeros(2).I16(218).I16(220).I16(222).I32(224000);  // 204-224
  h.I16(228).I16(230).I32(232000).I16(1).I16(1).I16(240).I16(242).I16(1).I16(246).I16(248).I16(250);  // 228-250
  h.I32(252000).I32(256000).I32(260000).I32(264000).I8(68).I8(69).I32(270000).I32(-274000).I32(278000);
  h.Zeros(8).I8(90).I8(91).I8(92).I8(0).I8(94).Zeros(23);

  ByteBuilder& n = m.Kind(2);  // names, 316 bytes
  n.Text(std::string_view("V1\0IGNORED", 10), 21).Text("FULL-WIDTH-NAME-21-CH", 21);  // no NUL: taken whole
  for (const char* text : {"DESCRIPTION", "ORDERID", "ORDERNUM", "LAYLIMIT", "ANNOT", "BLOCKBUF",
                           "MATCHING", "NOTCH", "BLOCKFUSE"})
    n.Text(text, 21);
  n.I8(3).Text("RULEITEM", 21).Zeros(63);

  ByteBuilder& notch = m.Kind(3);  // five standard entries, then none extended
  for (int k = 0; k < 5; ++k) notch.I32(100 * k + 1).I32(100 * k + 2).I32(100 * k + 3);
  notch.I32(0);

  m.Kind(4).I8(2).Zeros(1).F64(-2.5).U16(0x1234);  // lay limit: flip code, tilt, options
  m.Kind(5).Text("CAT", 20).I8(7).I8(8).I16(2).I8(6).I8(1).I8(5).I8(10).U16(3).Raw("ABC", 3);  // annotation
  ByteBuilder& block = m.Kind(6);  // block buffer rule, 100 bytes
  block.I8(1).Zeros(1);
  for (int k = 0; k < 10; ++k) block.F64(0.125 * (k + 1));
  block.I8(0).I8(1).I8(2).I8(0).I8(1).I8(2).I8(0).I8(1).I8(2).I8(0).I16(1).I16(3).I16(4).Zeros(2);
  m.Kind(7).I16(11).I16(12).I16(13).I16(14);  // segment
  m.Kind(9).I16(21).I16(22).I16(23).I16(24).I16(25).I16(26).I16(1).I16(2).F64(0.75).F64(-0.5).I8(1).I8(0).I16(1)
      .Zeros(6);  // matching rule, 42 bytes
  m.Kind(10).Text("PIECEID", 21).Text("SPNID", 21).I16(31).I16(32).I16(33).I16(34).I16(5).I32(-90).I16(36).I8(37)
      .Zeros(7);  // special piece number, 66 bytes
  m.Kind(11).Text("MODEL1", 21);
  m.Kind(12).Text("SZ", 8).I16(41).I16(42).I16(43).Zeros(6);  // bundle, 20 bytes
  m.Kind(13).I32(0);                                         // piece table: the piece at 0
  m.Kind(14).Text("FRONT", 21).Text("FRONT PIECE", 21).I16(51).I16(52).Zeros(2).I16(2).I16(1).I16(53).I16(54)
      .F64(55.5).Zeros(8).I16(-8).Zeros(6).I8(0).Zeros(1).U16(47).Zeros(4)  // piece head, 88 bytes; base size -8
      .U8(4).U8(0).I16(1)                                // geometry: an internal line of type 4 with one point
      .U8(0x02).U8(0x00).I32(15000).I32(-25000)          // long form, type 2, absolute
      .U8(0x08).U8(0x1B).I32(-7).I32(8).I32(5000).I32(6000)  // long form, type 8: option, deltas, notch 3
      .U8(0x9E).I32(7000).I32(8000).U16(65535)           // the line's point: short form, type 6, option, id 65535
      .I8(13).I8(1).I16(44);                             // the two option codes, the line's id
  m.Kind(15).Text("ORDMODEL", 21).Text("ALT", 21).Text("DYNALT", 21).Text("SIZES", 21).I16(61).I16(62).I16(1)
      .Text("FAB", 6).I16(1).Zeros(30)  // order model, 128 bytes, one option and one size entry
      .Text("OPT", 7)
      .Text("M", 8).I16(63).Text("CUT", 7).Text("HALF", 7).Text("BASE", 8).I16(1).Zeros(16);  // size entry, 50 bytes
  m.Kind(16).I8(2).Zeros(1).I16(71).I16(72).I16(73).I16(74).I16(75).I16(76).I16(77).I16(78);  // cutdown
  m.Kind(18).I16(1).I16(22).Text("DYNAMIC", 12);  // dynamic alteration head: one rule, 22 bytes into kind 19
  m.Kind(19).Zeros(22).I16(81).I16(82).I16(83).I16(84).F32(0.5).F32(-1.5).I8(1).Zeros(1).I16(85).I16(1);  // its rule
  ByteBuilder& cartoon = m.Kind(21);  // 96 bytes
  cartoon.I16(0).I16(0).I16(0).F64(10.5).F64(20.5).F64(30.5).F64(40.5).I16(38).I16(0).I16(0).F32(90).F64(45.5)
      .I16(-1).I16(58).I16(60).I16(62).I16(64).I16(66).I16(68).I16(70).I16(72).I16(74).I16(76).F32(1.5).F32(2.5)
      .Zeros(8).I16(94);
  m.Kind(24).I16(91).I16(92).I16(93).I16(94).I16(95).I16(96);  // point map entry
  m.Kind(30).F64(3.5).F64(-4.5).Zeros(16);                     // lay limit extension, 32 bytes
  return m.Data();
}

TEST(MarkerLayout, EveryKindWrittenByHandComesOutFieldByField) {
  const MarkerExport result = ExportData(EveryKind(), InstalledMarkerSchema().c_str());
  ASSERT_EQ(result.code, 0) << LastErrorMessage() << result.out << result.err;
  EXPECT_EQ(result.out + result.err, "");
  EXPECT_EQ(Leaves(result.xml, "/marker//*"),
      "status=Unmade stripeoffset=1.5 stripeoffset1=2.5 stripeoffset2=3.5 striperepeat=4.5 striperepeat1=5.5 "
      "striperepeat2=6.5 plaidoffset=7.5 plaidoffset1=8.5 plaidoffset2=9.5 plaidrepeat=10.5 plaidrepeat1=11.5 "
      "plaidrepeat2=12.5 width=13.5 length=14.5 currentlength=15.5 fivestarmatching=-3 totalarea=20.25 "
      "placedarea=21.25 targetefficiency=22.25 utilization=23.25 totalperimeter=24.25 placedperimeter=25.25 "
      "placedpieces=172 totalnotches=174 placednotches=176 numbercorners=178 placedcorners=180 maximumpoints=190 "
      "markerspecialpiecenumberindex=218 spread=222 seamallowance=224000 addnumbercartoons=240 addnumberbundles=242 "
      "spliceminimum=252000 splicemaximum=256000 splicemargin=260000 spliceseparation=264000 spliceannotation=68 "
      "splicedisplay=69 markerflags=270000 markeroriginx=-274000 markeroriginy=278000 cutversion=90 plotversion=91 "
      "editversion=92 expandednotchtable=0 orderflags=94 numberflaws=204 totalnumberofpoints=232000 "
      "numbergrouppieces=248 numbersplicemarks=250 numbercartoondata=186 numberoverrides=208 "
      "numbermatchoverrides=210 numberblockbuffersbypiece=212 numbersplits=220 numberdynamicalterationrules=228 "
      "numberdynamicalterationentries=230 numbergroups=246 version=V1 name=FULL-WIDTH-NAME-21-CH "
      "description=DESCRIPTION orderid=ORDERID ordernumber=ORDERNUM laylimitname=LAYLIMIT annotationname=ANNOT "
      "blockbuffername=BLOCKBUF matchingname=MATCHING notchname=NOTCH blockfusename=BLOCKFUSE layruletype=Slide "
      "layruleitemname=RULEITEM notch depth=3 per_width=1 in_width=2 notch depth=103 per_width=101 in_width=102 "
      "notch depth=203 per_width=201 in_width=202 notch depth=303 per_width=301 in_width=302 notch depth=403 "
      "per_width=401 in_width=402 laylimit flipcode=FlipAboutX tilt=-2.5 Options @Major=0 @AllowInSplice=1 "
      "@OneWay=0 @Rotate180=0 @Rotate90=1 @Rotate45=0 @FoldPiece=0 @OptionPiece=1 @NoPlot=0 @NoInclude=0 @NoCut=0 "
      "@TiltInch=1 AnnotationEntry @Category=CAT OrderFixed @Format=PieceName @Start=1 @End=5 OrderVariable "
      "@Format=Constant Text=ABC BlockBuffer @RuleType=Block @SegmentIndex=1 @SegmentCount=3 @CartoonIndex=4 Static "
      "Left @Amount=0.125 @Units=Distance Top @Amount=0.375 @Units=Percentage Right @Amount=0.25 "
      "@Units=BadPercentage Bottom @Amount=0.5 @Units=Distance Segment @Amount=0.625 @Units=BadPercentage Dynamic "
      "Left @Amount=0.75 @Units=Percentage Top @Amount=1 @Units=BadPercentage Right @Amount=0.875 @Units=Distance "
      "Bottom @Amount=1.125 @Units=Percentage Segment @Amount=1.25 @Units=Distance segment pointid1=11 pointid2=12 "
      "pointindex1=13 pointindex2=14 matchingrule point1id=21 point2id=22 point1index=23 point2index=24 "
      "specialpiecenumber1=25 specialpiecenumber2=26 xmatchtype=None ymatchtype=Same xoffset=0.75 yoffset=-0.5 "
      "xoffsetunits=Percentage yoffsetunits=Distance matchingtype=Model specialpiecenumber pieceid=PIECEID "
      "spnid=SPNID annotationindex=31 laylimitindex=32 blockbufferindex=33 blockbufferrule=34 "
      "flipcode=Rotate90Counterclockwise rotation=-90 majorpiece=36 matchingflags=37 modelnamevalue=MODEL1 bundle "
      "size=SZ modelnumber=41 cartooncount=42 indexcartoon=43 markerpiece name=FRONT description=FRONT PIECE "
      "specialpiecenumberindex=51 modelnumber=52 notchcount=53 cornercount=54 area=55.5 basesize @Value=-8 "
      "@Type=Numeric perimeterline perimeterpoint @X=1.5 @Y=-2.5 type=Closure notchtype=0 id=-1 perimeterpoint "
      "@X=0.5 @Y=0.6 type=TemporaryNotch notchtype=3 id=-1 deltax=-7 deltay=8 perimeterpointoption=Corner "
      "internalline type=4 id=44 internalpoint @X=0.7 @Y=0.8 type=Mark notchtype=0 id=65535 "
      "internalpointoption=LiftAndPlunge ordermodel "
      "modelname=ORDMODEL sizecode=SIZES alteration=ALT dynamicalteration=DYNALT fabric=FAB addpiecebundle=62 "
      "modelnumber=61 option optionname=OPT entry size=M quantity=63 cutdowninfo=CUT halfpieceinfo=HALF "
      "basesizeinfo=BASE direction=Left cutdown numused=2 cutdownindices bundleindex=71 pieceindex=75 "
      "cutdownindices bundleindex=72 pieceindex=76 cutdownindices bundleindex=73 pieceindex=77 cutdownindices "
      "bundleindex=74 pieceindex=78 dynamicalteration name=DYNAMIC rule firstindex=81 secondindex=82 firstpoint=83 "
      "secondpoint=84 x=0.5 y=-1.5 type=Counterclockwise specialpiecenumberindex=85 direction=Right cartoon "
      "pieceindex=0 specialpiecenumberindex=0 bundleindex=0 center @X=10.5 @Y=20.5 right=30.5 top=40.5 flags=38 "
      "dynamicalterationcount=0 dynamicalterationindex=0 rotation=90 area=45.5 typepiecing=Fixed firstfoldindex=58 "
      "secondfoldindex=60 cutdownindex=62 disksplitindex=64 orderloadflags=66 piecingnumber=68 originalbundle=70 "
      "flagsex=72 firstfacingindex=74 secondfacingindex=76 facingrotation=1.5 grainrotation=2.5 pointcount=94 "
      "pointmapelement specialpiecenumberindex=91 bundleindex=92 pointid=93 cartoonpointindex=94 "
      "previousgradepoint=95 nextgradepoint=96 laylimitextension clockwisetilt=3.5 counterclockwisetilt=-4.5");
}

}  // namespace
}  // namespace tsln2xml::test
