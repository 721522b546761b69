#!/usr/bin/env python3
"""Writes sample/etc/Host/Securities.csv, the stand-in host's security master, from the tables below.

The securities are real-looking: codes, names and price levels resemble the markets they belong to.
Price steps follow each market's tick rules. Run from the project root; the output is committed.
"""
import csv
import io
import os

# (code, name, English name, last close, IPO date)
SH_A = [
    ("600000", "浦发银行", "SPD Bank", 10.36, "19991110"), ("600004", "白云机场", "Baiyun Airport", 10.12, "20030428"),
    ("600009", "上海机场", "Shanghai Airport", 33.85, "19980218"), ("600011", "华能国际", "Huaneng Power", 7.02, "20011206"),
    ("600015", "华夏银行", "Hua Xia Bank", 7.48, "20030912"), ("600016", "民生银行", "Minsheng Bank", 4.12, "20001219"),
    ("600018", "上港集团", "SIPG", 5.86, "20061026"), ("600019", "宝钢股份", "Baosteel", 7.05, "20001212"),
    ("600025", "华能水电", "Huaneng Hydro", 9.81, "20171215"), ("600028", "中国石化", "Sinopec", 5.91, "20010808"),
    ("600029", "南方航空", "China Southern", 6.14, "20030725"), ("600030", "中信证券", "CITIC Securities", 27.66, "20030106"),
    ("600031", "三一重工", "Sany Heavy", 19.87, "20030703"), ("600036", "招商银行", "China Merchants Bank", 43.52, "20020409"),
    ("600048", "保利发展", "Poly Developments", 8.76, "20060731"), ("600050", "中国联通", "China Unicom", 5.48, "20021009"),
    ("600104", "上汽集团", "SAIC Motor", 15.93, "19971125"), ("600111", "北方稀土", "China Northern Rare Earth", 24.38, "19970924"),
    ("600150", "中国船舶", "China CSSC", 36.21, "19980520"), ("600176", "中国巨石", "China Jushi", 12.47, "19990422"),
    ("600196", "复星医药", "Fosun Pharma", 25.18, "19980807"), ("600276", "恒瑞医药", "Hengrui Medicine", 52.40, "20001018"),
    ("600309", "万华化学", "Wanhua Chemical", 71.25, "20010105"), ("600332", "白云山", "Baiyunshan", 27.33, "20010206"),
    ("600346", "恒力石化", "Hengli Petrochemical", 15.02, "20010820"), ("600406", "国电南瑞", "NARI Technology", 23.76, "20031016"),
    ("600436", "片仔癀", "Pien Tze Huang", 208.50, "20030616"), ("600438", "通威股份", "Tongwei", 19.84, "20040302"),
    ("600519", "贵州茅台", "Kweichow Moutai", 1508.00, "20010827"), ("600547", "山东黄金", "Shandong Gold", 29.66, "20030828"),
    ("600570", "稳健电子", "Wenjian Electronics", 31.20, "20031216"), ("600585", "海螺水泥", "Anhui Conch", 23.15, "20020207"),
    ("600588", "用友网络", "Yonyou", 12.86, "20010518"), ("600690", "海尔智家", "Haier Smart Home", 26.74, "19931119"),
    ("600745", "闻泰科技", "Wingtech", 34.52, "19960828"), ("600809", "山西汾酒", "Shanxi Fenjiu", 198.60, "19940106"),
    ("600837", "海通证券", "Haitong Securities", 10.38, "19940228"), ("600887", "伊利股份", "Yili", 28.94, "19960312"),
    ("600893", "航发动力", "AECC Aviation Power", 38.47, "19960403"), ("600900", "长江电力", "Yangtze Power", 28.72, "20031118"),
    ("601012", "隆基绿能", "LONGi", 17.65, "20120411"), ("601088", "中国神华", "China Shenhua", 39.80, "20071009"),
    ("601166", "兴业银行", "Industrial Bank", 21.35, "20070205"), ("601169", "北京银行", "Bank of Beijing", 6.05, "20070919"),
    ("601288", "农业银行", "Agricultural Bank", 5.62, "20100715"), ("601318", "中国平安", "Ping An", 55.12, "20070301"),
    ("601328", "交通银行", "Bank of Communications", 7.83, "20070515"), ("601390", "中国中铁", "China Railway", 5.71, "20071203"),
    ("601398", "工商银行", "ICBC", 7.21, "20061027"), ("601601", "中国太保", "CPIC", 34.05, "20071225"),
    ("601628", "中国人寿", "China Life", 41.18, "20070109"), ("601668", "中国建筑", "CSCEC", 5.58, "20090729"),
    ("601688", "华泰证券", "Huatai Securities", 18.37, "20100226"), ("601728", "中国电信", "China Telecom", 7.12, "20210820"),
    ("601857", "中国石油", "PetroChina", 8.41, "20071105"), ("601888", "中国中免", "China Tourism Duty Free", 68.90, "20091015"),
    ("601899", "紫金矿业", "Zijin Mining", 18.26, "20080425"), ("601919", "中远海控", "COSCO Shipping", 15.44, "20070626"),
    ("601939", "建设银行", "China Construction Bank", 8.95, "20070925"), ("601988", "中国银行", "Bank of China", 5.43, "20060705"),
]
SH_STAR = [
    ("688008", "澜起科技", "Montage Technology", 72.30, "20190722"), ("688012", "中微公司", "AMEC", 178.40, "20190722"),
    ("688036", "传音控股", "Transsion", 88.15, "20190930"), ("688041", "海光信息", "Hygon", 131.20, "20220812"),
    ("688111", "金山办公", "Kingsoft Office", 289.00, "20191118"), ("688126", "沪硅产业", "NSIG", 18.92, "20200420"),
    ("688169", "石头科技", "Roborock", 221.50, "20200221"), ("688256", "寒武纪", "Cambricon", 612.00, "20200720"),
    ("688271", "联影医疗", "United Imaging", 126.80, "20220822"), ("688981", "中芯国际", "SMIC", 88.66, "20200716"),
]
SZ_A = [
    ("000001", "平安银行", "Ping An Bank", 11.58, "19910403"), ("000002", "万科A", "China Vanke A", 6.74, "19910129"),
    ("000063", "中兴通讯", "ZTE", 38.21, "19971118"), ("000069", "华侨城A", "OCT Holding A", 2.98, "19970910"),
    ("000100", "TCL科技", "TCL Technology", 4.62, "20040130"), ("000157", "中联重科", "Zoomlion", 7.93, "20001012"),
    ("000166", "申万宏源", "Shenwan Hongyuan", 5.67, "20150126"), ("000333", "美的集团", "Midea Group", 76.40, "20130918"),
    ("000338", "潍柴动力", "Weichai Power", 14.86, "20070430"), ("000425", "徐工机械", "XCMG", 8.77, "19960828"),
    ("000538", "云南白药", "Yunnan Baiyao", 57.32, "19931215"), ("000568", "泸州老窖", "Luzhou Laojiao", 136.70, "19940509"),
    ("000625", "长安汽车", "Changan Auto", 12.95, "19970610"), ("000651", "格力电器", "Gree Electric", 42.18, "19961118"),
    ("000708", "中信特钢", "CITIC Special Steel", 12.04, "19970326"), ("000725", "京东方A", "BOE A", 4.21, "20010112"),
    ("000768", "中航西飞", "AVIC Xi'an Aircraft", 27.35, "19970626"), ("000776", "广发证券", "GF Securities", 19.44, "19970611"),
    ("000858", "五粮液", "Wuliangye", 128.90, "19980427"), ("000876", "新希望", "New Hope", 9.36, "19980311"),
    ("000895", "双汇发展", "Shuanghui", 26.18, "19981210"), ("000938", "紫光股份", "Unisplendour", 25.41, "19991104"),
    ("000977", "浪潮信息", "Inspur", 52.07, "20000608"), ("002001", "新和成", "NHU", 22.67, "20040625"),
    ("002007", "华兰生物", "Hualan Biological", 15.89, "20040603"), ("002027", "分众传媒", "Focus Media", 7.12, "20040804"),
    ("002142", "宁波银行", "Bank of Ningbo", 26.53, "20070719"), ("002230", "科大讯飞", "iFLYTEK", 48.36, "20080512"),
    ("002236", "大华股份", "Dahua", 16.44, "20080520"), ("002304", "洋河股份", "Yanghe", 72.85, "20091106"),
    ("002352", "顺丰控股", "SF Holding", 38.74, "20100205"), ("002415", "海康威视", "Hikvision", 29.67, "20100528"),
    ("002460", "赣锋锂业", "Ganfeng Lithium", 36.92, "20100810"), ("002475", "立讯精密", "Luxshare", 41.35, "20100915"),
    ("002594", "比亚迪", "BYD", 312.40, "20110630"), ("002714", "牧原股份", "Muyuan", 41.28, "20140128"),
]
SZ_CHINEXT = [
    ("300014", "亿纬锂能", "EVE Energy", 48.20, "20091030"), ("300015", "爱尔眼科", "Aier Eye", 12.66, "20091030"),
    ("300122", "智飞生物", "Zhifei", 21.47, "20100928"), ("300124", "汇川技术", "Inovance", 68.35, "20100928"),
    ("300274", "阳光电源", "Sungrow", 82.16, "20111102"), ("300308", "中际旭创", "Zhongji Innolight", 158.30, "20120410"),
    ("300498", "温氏股份", "Wens", 17.02, "20151102"), ("300750", "宁德时代", "CATL", 268.50, "20180611"),
    ("300760", "迈瑞医疗", "Mindray", 243.80, "20181016"), ("300782", "卓胜微", "Maxscend", 72.90, "20190618"),
]
HK = [
    ("00001", "长和", "CK Hutchison", 42.30, "19720901"), ("00002", "中电控股", "CLP Holdings", 65.85, "19860125"),
    ("00003", "香港中华煤气", "HK & China Gas", 6.12, "19600403"), ("00005", "汇丰控股", "HSBC Holdings", 88.45, "19910729"),
    ("00011", "恒生银行", "Hang Seng Bank", 101.20, "19720805"), ("00016", "新鸿基地产", "SHK Properties", 78.60, "19720823"),
    ("00027", "银河娱乐", "Galaxy Entertainment", 33.95, "19910822"), ("00066", "港铁公司", "MTR Corporation", 27.45, "20001005"),
    ("00175", "吉利汽车", "Geely Auto", 16.08, "19730223"), ("00267", "中信股份", "CITIC", 9.62, "19860226"),
    ("00386", "中国石油化工股份", "Sinopec Corp H", 4.36, "20001019"), ("00388", "香港交易所", "HKEX", 338.60, "20000627"),
    ("00669", "创科实业", "Techtronic", 96.75, "19900920"), ("00688", "中国海外发展", "China Overseas Land", 13.28, "19920820"),
    ("00700", "腾讯控股", "Tencent", 418.20, "20040616"), ("00762", "中国联通", "China Unicom HK", 7.45, "20000622"),
    ("00857", "中国石油股份", "PetroChina H", 5.58, "20000407"), ("00883", "中国海洋石油", "CNOOC", 18.94, "20010228"),
    ("00939", "建设银行", "CCB H", 6.37, "20051027"), ("00941", "中国移动", "China Mobile", 76.30, "19971023"),
    ("00960", "龙湖集团", "Longfor", 9.87, "20091119"), ("01024", "快手-W", "Kuaishou", 52.65, "20210205"),
    ("01038", "长江基建集团", "CKI Holdings", 49.30, "19960716"), ("01093", "石药集团", "CSPC Pharma", 5.34, "19940621"),
    ("01177", "中国生物制药", "Sino Biopharm", 3.42, "20000929"), ("01211", "比亚迪股份", "BYD Company", 278.40, "20020731"),
    ("01299", "友邦保险", "AIA", 61.85, "20101029"), ("01398", "工商银行", "ICBC H", 5.12, "20061027"),
    ("01810", "小米集团-W", "Xiaomi", 31.60, "20180709"), ("01928", "金沙中国有限公司", "Sands China", 17.86, "20091130"),
    ("02020", "安踏体育", "ANTA Sports", 84.95, "20070710"), ("02269", "药明生物", "WuXi Biologics", 17.24, "20170613"),
    ("02318", "中国平安", "Ping An H", 47.15, "20040624"), ("02388", "中银香港", "BOC Hong Kong", 26.80, "20020725"),
    ("02628", "中国人寿", "China Life H", 15.96, "20031218"), ("03690", "美团-W", "Meituan", 152.30, "20180920"),
    ("03988", "中国银行", "Bank of China H", 4.05, "20060601"), ("09618", "京东集团-SW", "JD.com", 138.70, "20200618"),
    ("09988", "阿里巴巴-W", "Alibaba", 98.55, "20191126"), ("09999", "网易-S", "NetEase", 151.80, "20200611"),
]
US = [
    ("AAPL", "O", "苹果", "Apple Inc", 229.87, "19801212"), ("MSFT", "O", "微软", "Microsoft Corp", 418.35, "19860313"),
    ("AMZN", "O", "亚马逊", "Amazon.com Inc", 207.09, "19970515"), ("GOOGL", "O", "谷歌-A", "Alphabet Inc Class A", 171.92, "20040819"),
    ("META", "O", "Meta Platforms", "Meta Platforms Inc", 589.34, "20120518"), ("NVDA", "O", "英伟达", "NVIDIA Corp", 136.93, "19990122"),
    ("TSLA", "O", "特斯拉", "Tesla Inc", 338.59, "20100629"), ("NFLX", "O", "奈飞", "Netflix Inc", 887.20, "20020523"),
    ("INTC", "O", "英特尔", "Intel Corp", 24.65, "19711013"), ("AMD", "O", "超威半导体", "Advanced Micro Devices", 137.18, "19720921"),
    ("JD", "O", "京东", "JD.com Inc ADR", 35.42, "20140522"), ("PDD", "O", "拼多多", "PDD Holdings ADR", 101.37, "20180726"),
    ("BIDU", "O", "百度", "Baidu Inc ADR", 86.25, "20050805"), ("NTES", "O", "网易", "NetEase Inc ADR", 88.74, "20000630"),
    ("LI", "O", "理想汽车", "Li Auto ADR", 24.13, "20200730"), ("TCOM", "O", "携程", "Trip.com ADR", 66.85, "20031209"),
    ("JPM", "N", "摩根大通", "JPMorgan Chase & Co", 241.38, "19690305"), ("V", "N", "Visa", "Visa Inc", 311.24, "20080319"),
    ("JNJ", "N", "强生", "Johnson & Johnson", 153.72, "19440925"), ("WMT", "N", "沃尔玛", "Walmart Inc", 91.80, "19721025"),
    ("PG", "N", "宝洁", "Procter & Gamble", 175.46, "18900101"), ("XOM", "N", "埃克森美孚", "Exxon Mobil Corp", 118.02, "19200101"),
    ("KO", "N", "可口可乐", "Coca-Cola Co", 63.55, "19190905"), ("DIS", "N", "迪士尼", "Walt Disney Co", 116.84, "19571112"),
    ("BA", "N", "波音", "Boeing Co", 155.40, "19620102"), ("IBM", "N", "IBM", "International Business Machines", 228.91, "19150101"),
    ("GE", "N", "通用电气", "General Electric", 178.66, "18920101"), ("NKE", "N", "耐克", "Nike Inc", 77.53, "19801202"),
    ("BABA", "N", "阿里巴巴", "Alibaba Group ADR", 84.96, "20140919"), ("NIO", "N", "蔚来", "NIO Inc ADR", 4.41, "20180912"),
    ("XPEV", "N", "小鹏汽车", "XPeng Inc ADR", 12.57, "20200827"), ("YUMC", "N", "百胜中国", "Yum China Holdings", 48.23, "20161101"),
]
# (code, exchange, name, English, last close, trade span, price step)
FUTURES = [
    ("IF2612", "CFE", "沪深300指数2612", "CSI 300 Index Futures Dec26", 3986.4, "CFFEX", 0.2),
    ("IF2701", "CFE", "沪深300指数2701", "CSI 300 Index Futures Jan27", 3991.0, "CFFEX", 0.2),
    ("IF2703", "CFE", "沪深300指数2703", "CSI 300 Index Futures Mar27", 3978.6, "CFFEX", 0.2),
    ("IH2612", "CFE", "上证50指数2612", "SSE 50 Index Futures Dec26", 2712.8, "CFFEX", 0.2),
    ("IC2612", "CFE", "中证500指数2612", "CSI 500 Index Futures Dec26", 5842.2, "CFFEX", 0.2),
    ("IM2612", "CFE", "中证1000指数2612", "CSI 1000 Index Futures Dec26", 6215.6, "CFFEX", 0.2),
    ("T2703", "CFE", "十年期国债2703", "10-Year Treasury Futures Mar27", 108.615, "CFFEX", 0.005),
    ("AU2702", "SHF", "沪金2702", "SHFE Gold Feb27", 618.42, "SHFE_NIGHT", 0.02),
    ("AG2702", "SHF", "沪银2702", "SHFE Silver Feb27", 7684.0, "SHFE_NIGHT", 1.0),
    ("CU2701", "SHF", "沪铜2701", "SHFE Copper Jan27", 75630.0, "SHFE_NIGHT_CU", 10.0),
    ("AL2701", "SHF", "沪铝2701", "SHFE Aluminium Jan27", 20145.0, "SHFE_NIGHT_CU", 5.0),
    ("RB2705", "SHF", "螺纹钢2705", "SHFE Rebar May27", 3312.0, "SHFE_NIGHT_RB", 1.0),
    ("M2705", "DCE", "豆粕2705", "DCE Soybean Meal May27", 2876.0, "DCE", 1.0),
    ("I2705", "DCE", "铁矿石2705", "DCE Iron Ore May27", 782.5, "DCE", 0.5),
    ("Y2705", "DCE", "豆油2705", "DCE Soybean Oil May27", 7918.0, "DCE", 2.0),
    ("SR705", "CZC", "白糖705", "ZCE White Sugar May27", 5874.0, "CZCE", 1.0),
    ("CF705", "CZC", "棉花705", "ZCE Cotton May27", 13695.0, "CZCE", 5.0),
    ("TA705", "CZC", "PTA705", "ZCE PTA May27", 4862.0, "CZCE", 2.0),
]
# (code, exchange, name, English, last close, stock type, IPO date)
BONDS = [
    ("019547", "SH", "16国债19", "Treasury Bond 1619", 101.216, "BOND", "20160825"),
    ("019666", "SH", "22国债01", "Treasury Bond 2201", 100.852, "BOND", "20220127"),
    ("019700", "SH", "23国债07", "Treasury Bond 2307", 101.340, "BOND", "20230420"),
    ("019727", "SH", "23国债24", "Treasury Bond 2324", 102.015, "BOND", "20231116"),
    ("019741", "SH", "24国债10", "Treasury Bond 2410", 100.478, "BOND", "20240523"),
    ("102229", "SZ", "国债2229", "Treasury Bond 2229", 100.930, "BOND", "20221215"),
    ("110059", "SH", "浦发转债", "SPD Bank CB", 111.682, "CB", "20191115"),
    ("113052", "SH", "兴业转债", "Industrial Bank CB", 118.405, "CB", "20220107"),
    ("113050", "SH", "南银转债", "Bank of Nanjing CB", 128.760, "CB", "20210705"),
    ("113056", "SH", "重银转债", "Bank of Chongqing CB", 115.230, "CB", "20220408"),
    ("127018", "SZ", "本钢转债", "Bengang CB", 102.370, "CB", "20200727"),
    ("123107", "SZ", "温氏转债", "Wens CB", 124.925, "CB", "20210413"),
    ("128136", "SZ", "立讯转债", "Luxshare CB", 142.600, "CB", "20201111"),
    ("127045", "SZ", "牧原转债", "Muyuan CB", 126.310, "CB", "20210816"),
]
FUNDS = [
    ("510050", "SH", "上证50ETF", "SSE 50 ETF", 2.742, "ETF", "20050223"),
    ("510300", "SH", "沪深300ETF", "CSI 300 ETF", 3.985, "ETF", "20120528"),
    ("510500", "SH", "中证500ETF", "CSI 500 ETF", 5.871, "ETF", "20130315"),
    ("588000", "SH", "科创50ETF", "STAR 50 ETF", 1.092, "ETF", "20201116"),
    ("512880", "SH", "证券ETF", "Securities ETF", 1.138, "ETF", "20160808"),
    ("512690", "SH", "酒ETF", "Liquor ETF", 0.753, "ETF", "20190506"),
    ("513100", "SH", "纳指ETF", "Nasdaq 100 ETF", 1.684, "ETF", "20130515"),
    ("513500", "SH", "标普500ETF", "S&P 500 ETF", 2.076, "ETF", "20140115"),
    ("518880", "SH", "黄金ETF", "Gold ETF", 6.042, "ETF", "20130729"),
    ("511010", "SH", "国债ETF", "Treasury ETF", 141.870, "ETF", "20130325"),
    ("159915", "SZ", "创业板ETF", "ChiNext ETF", 2.214, "ETF", "20111209"),
    ("159919", "SZ", "300ETF", "CSI 300 ETF SZ", 4.102, "ETF", "20120528"),
    ("159920", "SZ", "恒生ETF", "Hang Seng ETF", 1.236, "ETF", "20121022"),
    ("159949", "SZ", "创业板50ETF", "ChiNext 50 ETF", 1.058, "ETF", "20160722"),
    ("161725", "SZ", "白酒LOF", "Liquor Index LOF", 0.962, "LOF", "20150527"),
    ("160119", "SZ", "500LOF", "CSI 500 LOF", 2.185, "LOF", "20091109"),
    ("501018", "SH", "南方原油LOF", "Crude Oil LOF", 1.352, "LOF", "20160615"),
]
# (code, exchange, name, English, last close, stock type, trade span, currency, category)
INDEXES = [
    ("000001", "SH", "上证指数", "SSE Composite", 3372.55, "IDX", "SH", "CNY", 0),
    ("000016", "SH", "上证50", "SSE 50", 2705.36, "IDX", "SH", "CNY", 0),
    ("000300", "SH", "沪深300", "CSI 300", 3981.57, "IDX", "SH", "CNY", 0),
    ("000680", "SH", "科创综指", "STAR Composite", 1218.43, "IDX", "SH", "CNY", 0),
    ("000688", "SH", "科创50", "STAR 50", 1027.71, "IDX", "SH", "CNY", 0),
    ("000852", "SH", "中证1000", "CSI 1000", 6208.84, "IDX", "SH", "CNY", 0),
    ("000905", "SH", "中证500", "CSI 500", 5836.19, "IDX", "SH", "CNY", 0),
    ("399001", "SZ", "深证成指", "SZSE Component", 10843.27, "IDX", "SZ", "CNY", 0),
    ("399005", "SZ", "中小100", "SME 100", 6712.05, "IDX", "SZ", "CNY", 0),
    ("399006", "SZ", "创业板指", "ChiNext Index", 2256.83, "IDX", "SZ", "CNY", 0),
    ("399101", "SZ", "中小综指", "SME Composite", 11235.60, "IDX", "SZ", "CNY", 0),
    ("399102", "SZ", "创业板综", "ChiNext Composite", 2781.42, "IDX", "SZ", "CNY", 0),
    ("399106", "SZ", "深证综指", "SZSE Composite", 2018.77, "IDX", "SZ", "CNY", 0),
    ("881001", "KI", "全A指数", "All A-Share Index", 5362.18, "IDX", "SH", "CNY", 300),
    ("HSI", "HI", "恒生指数", "Hang Seng Index", 20582.46, "IDX", "HK", "HKD", 0),
    ("HSCEI", "HI", "恒生中国企业指数", "HS China Enterprises", 7465.11, "IDX", "HK", "HKD", 0),
    ("HSTECH", "HI", "恒生科技指数", "Hang Seng TECH", 4612.39, "IDX", "HK", "HKD", 0),
    ("DJI", "GI", "道琼斯工业平均指数", "Dow Jones Industrial Average", 44722.06, "GIDX", "GI_NY", "USD", 0),
    ("IXIC", "GI", "纳斯达克综合指数", "Nasdaq Composite", 19218.17, "GIDX", "GI_NY", "USD", 0),
    ("SPX", "GI", "标普500", "S&P 500", 6032.38, "GIDX", "GI_NY", "USD", 0),
    ("N225", "GI", "日经225", "Nikkei 225", 38513.02, "GIDX", "GI_TOKYO", "JPY", 0),
    ("FTSE", "GI", "英国富时100", "FTSE 100", 8287.30, "GIDX", "GI_LONDON", "GBP", 0),
    ("GDAXI", "GI", "德国DAX", "DAX", 20016.75, "GIDX", "GI_FRANKFURT", "EUR", 0),
]
SUSPENDED = {"600745.SH", "000069.SZ"}
DELISTED = {"600837.SH"}


def hk_step(price):
    for limit, step in ((0.25, 0.001), (0.5, 0.005), (10, 0.01), (20, 0.02), (100, 0.05), (200, 0.1), (500, 0.2),
                        (1000, 0.5)):
        if price < limit:
            return step
    return 1.0


def rows():
    def status(code):
        return "S" if code in SUSPENDED else "D" if code in DELISTED else "L"

    for table, stock_type in ((SH_A, "A"), (SH_STAR, "KCB")):
        for code, name, en, close, ipo in table:
            kc = code + ".SH"
            yield (kc, name, stock_type, "SH", 0, status(kc), "SH", 0.01, "CNY", close, en, name + "股份有限公司", ipo)
    for table, stock_type in ((SZ_A, "A"), (SZ_CHINEXT, "CYB")):
        for code, name, en, close, ipo in table:
            kc = code + ".SZ"
            yield (kc, name, stock_type, "SZ", 0, status(kc), "SZ", 0.01, "CNY", close, en, name + "股份有限公司", ipo)
    for code, name, en, close, ipo in HK:
        yield (code + ".HK", name, "HK", "HK", 0, "L", "HK", hk_step(close), "HKD", close, en, name, ipo)
    for code, exchange, name, en, close, ipo in US:
        yield (f"{code}.{exchange}", name, "US", exchange, 0, "L", "US", 0.01, "USD", close, en, en, ipo)
    for code, exchange, name, en, close, span, step in FUTURES:
        yield (f"{code}.{exchange}", name, "FUT", exchange, 0, "L", span, step, "CNY", close, en, name, "")
    for code, exchange, name, en, close, stock_type, ipo in BONDS:
        yield (f"{code}.{exchange}", name, stock_type, exchange, 0, "L", exchange, 0.001, "CNY", close, en, name, ipo)
    for code, exchange, name, en, close, stock_type, ipo in FUNDS:
        yield (f"{code}.{exchange}", name, stock_type, exchange, 0, "L", exchange, 0.001, "CNY", close, en, name, ipo)
    for code, exchange, name, en, close, stock_type, span, currency, category in INDEXES:
        yield (f"{code}.{exchange}", name, stock_type, exchange, category, "L", span, 0.01, currency, close, en, name, "")


def main():
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(["code", "name", "stock_type", "exchange", "category", "list_status", "trade_span", "price_step",
                     "currency", "last_close", "en_name", "full_name", "ipo_date"])
    count = 0
    for row in rows():
        assert all("," not in str(field) for field in row), row
        writer.writerow(row)
        count += 1
    path = os.path.join("sample", "etc", "Host", "Securities.csv")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(out.getvalue())
    print(f"wrote {count} securities to {path}")


if __name__ == "__main__":
    main()
