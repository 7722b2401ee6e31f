<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="ja_JP">
<context>
    <name>Application</name>
    <message>
        <source>予期しないエラーが発生しました.</source>
        <translation>An unexpected error occurred.</translation>
    </message>
</context>
<context>
    <name>AreaDialogs</name>
    <message>
        <source>傾斜設定</source>
        <translation>Slope</translation>
    </message>
    <message>
        <source>傾斜角度</source>
        <translation>Angle</translation>
    </message>
    <message>
        <source>奥行き</source>
        <translation>Depth</translation>
    </message>
    <message>
        <source>垂直方向</source>
        <translation>Vertical</translation>
    </message>
    <message>
        <source>水平方向</source>
        <translation>Horizontal</translation>
    </message>
    <message>
        <source>「%1」は名称に使えません (作業ファイルの文字コード CP932 にない文字です)</source>
        <translation>“%1” cannot be used in a name (the working files&apos; code page CP932 has no such character)</translation>
    </message>
    <message>
        <source>名称は %1 バイトまでです (全角文字は 2 バイト)</source>
        <translation>A name takes at most %1 bytes (a full-width character takes 2)</translation>
    </message>
    <message>
        <source>残り %1 バイト</source>
        <translation>%1 bytes left</translation>
    </message>
</context>
<context>
    <name>CalcEdit</name>
    <message>
        <source>入力</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>入力エラー</source>
        <translation>Input error</translation>
    </message>
    <message>
        <source>無効な数値が入力されました</source>
        <translation>The number entered is not valid</translation>
    </message>
</context>
<context>
    <name>CalibrateCommand</name>
    <message>
        <source>プロファイルは書き込んでいません.</source>
        <translation>No profile was written.</translation>
    </message>
    <message>
        <source>チェッカーボードあり: %1</source>
        <translation>Board found: %1</translation>
    </message>
    <message>
        <source>チェッカーボードなし: %1</source>
        <translation>No board: %1</translation>
    </message>
    <message>
        <source>再投影誤差 (RMS): %1 画素</source>
        <translation>Reprojection error (RMS): %1 px</translation>
    </message>
    <message>
        <source>プロファイルを &apos;%1&apos; に書き込めません.</source>
        <translation>Cannot write the profile to &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>プロファイルを書き込めません: 数値をファイルに表せません.</source>
        <translation>Cannot write the profile: its numbers cannot be kept in the file.</translation>
    </message>
    <message>
        <source>プロファイルを書き込みました: %1</source>
        <translation>Profile written: %1</translation>
    </message>
</context>
<context>
    <name>CalibrationDialog</name>
    <message>
        <source>カメラのレンズを測定</source>
        <translation>Calibrate Lens</translation>
    </message>
    <message>
        <source>印刷したチェッカーボードを, 傾きと位置を変えて 10 枚ほど撮った写真を選んでください. すべて同じカメラ, 同じ焦点距離, 同じ大きさで撮ります.</source>
        <translation>Choose about 10 photos of a printed chessboard, taken from different tilts and positions, all with the same camera, focal length and photo size.</translation>
    </message>
    <message>
        <source>内側の交点 (横 × 縦)(&amp;B)</source>
        <translation>Inner corners (across × down) (&amp;B)</translation>
    </message>
    <message>
        <source>升目の一辺(&amp;Q)</source>
        <translation>Side of a s&amp;quare</translation>
    </message>
    <message>
        <source>写真を追加(&amp;A)</source>
        <translation>&amp;Add Photos</translation>
    </message>
    <message>
        <source>写真をすべて外す(&amp;R)</source>
        <translation>&amp;Remove All</translation>
    </message>
    <message>
        <source>測定する(&amp;C)</source>
        <translation>&amp;Calibrate</translation>
    </message>
    <message>
        <source>プロファイルを保存(&amp;S)</source>
        <translation>&amp;Save Profile</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>予期しないエラーが発生しました: %1</source>
        <translation>An unexpected error occurred: %1</translation>
    </message>
    <message>
        <source>チェッカーボードの写真</source>
        <translation>Photos of the chessboard</translation>
    </message>
    <message>
        <source>写真</source>
        <translation>Photos</translation>
    </message>
    <message>
        <source>写真を少なくとも %1 枚選んでください.</source>
        <translation>Please choose at least %1 photos.</translation>
    </message>
    <message>
        <source>写真を読み込むためのメモリが足りません.</source>
        <translation>There is not enough memory to read the photos.</translation>
    </message>
    <message>
        <source>チェッカーボードを探しています.</source>
        <translation>Looking for the chessboard.</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>レンズを測定しました. 「プロファイルを保存」で残してください.</source>
        <translation>The lens is calibrated. Keep it with “Save Profile”.</translation>
    </message>
    <message>
        <source>プロファイルを &apos;%1&apos; に保存できません.</source>
        <translation>Cannot save the profile as &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>プロファイルを保存しました: %1</source>
        <translation>Profile saved: %1</translation>
    </message>
    <message>
        <source>チェッカーボードあり</source>
        <translation>Board found</translation>
    </message>
    <message>
        <source>チェッカーボードなし</source>
        <translation>No board</translation>
    </message>
    <message>
        <source>再投影誤差 (RMS): %1 画素</source>
        <translation>Reprojection error (RMS): %1 px</translation>
    </message>
</context>
<context>
    <name>Camera</name>
    <message>
        <source>カメラ</source>
        <translation>Camera</translation>
    </message>
    <message>
        <source>レンズ</source>
        <translation>Lens</translation>
    </message>
    <message>
        <source>35mm判換算</source>
        <translation>35 mm equivalent</translation>
    </message>
    <message>
        <source>焦点距離</source>
        <translation>Focal length</translation>
    </message>
    <message>
        <source>撮影日時</source>
        <translation>Taken</translation>
    </message>
</context>
<context>
    <name>Checks</name>
    <message>
        <source>検証距離</source>
        <translation>Check distance</translation>
    </message>
    <message>
        <source>既知 </source>
        <translation>known </translation>
    </message>
    <message>
        <source>偏差 </source>
        <translation>off by </translation>
    </message>
    <message>
        <source>不確かさの2倍以内</source>
        <translation>within twice its uncertainty</translation>
    </message>
    <message>
        <source>不確かさの2倍を超える</source>
        <translation>beyond twice its uncertainty</translation>
    </message>
    <message>
        <source>検証距離 </source>
        <translation>Check distances: </translation>
    </message>
    <message>
        <source> 本: 最大偏差 </source>
        <translation>, largest deviation </translation>
    </message>
    <message>
        <source>検</source>
        <translation>C</translation>
    </message>
    <message>
        <source>2σ以内 </source>
        <translation>within 2σ: </translation>
    </message>
</context>
<context>
    <name>DialogButtons</name>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>Dialogs</name>
    <message>
        <source>写真から長さと面積を測る</source>
        <translation>Measuring lengths and areas on photographs</translation>
    </message>
    <message>
        <source>エラー情報</source>
        <translation>Error information</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>更新履歴</source>
        <translation>Update history</translation>
    </message>
    <message>
        <source>更新履歴ファイルが見つかりません.</source>
        <translation>The update history file cannot be found.</translation>
    </message>
</context>
<context>
    <name>EffectDialog</name>
    <message>
        <source>画像処理</source>
        <translation>Image processing</translation>
    </message>
    <message>
        <source>回転</source>
        <translation>Rotation</translation>
    </message>
    <message>
        <source>ノイズ除去[0～255]</source>
        <translation>Noise removal [0-255]</translation>
    </message>
    <message>
        <source>シャープネス[0～100]</source>
        <translation>Sharpness [0-100]</translation>
    </message>
    <message>
        <source>彩度[-100～+1000]</source>
        <translation>Saturation [-100 to +1000]</translation>
    </message>
    <message>
        <source>明るさ[-255～+255]</source>
        <translation>Brightness [-255 to +255]</translation>
    </message>
    <message>
        <source>RGB反転</source>
        <translation>Invert RGB</translation>
    </message>
    <message>
        <source>ﾌﾟﾚﾋﾞｭｰ</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>Files</name>
    <message>
        <source>&apos; はフォルダです. ファイルの名前を指定してください.</source>
        <translation>&apos; is a folder. Please give a file name.</translation>
    </message>
    <message>
        <source>ファイル名が %1 バイトあり, 長すぎます (%2 バイトまで).</source>
        <translation>The file name is %1 bytes long, too long (at most %2 bytes).</translation>
    </message>
</context>
<context>
    <name>Job</name>
    <message>
        <source>ジョブファイルを読み込めません:</source>
        <translation>Cannot read the job file:</translation>
    </message>
    <message>
        <source>ジョブファイルとしては大きすぎます.</source>
        <translation>It is far too large for a job file.</translation>
    </message>
    <message>
        <source>ファイルが壊れているか途中で切れています</source>
        <translation>The file is damaged or cut short</translation>
    </message>
    <message>
        <source>Kalvex のジョブファイルではありません.</source>
        <translation>It is no Kalvex job file.</translation>
    </message>
    <message>
        <source>ファイルが壊れています (版の番号がありません).</source>
        <translation>The file is damaged (it has no version number).</translation>
    </message>
    <message>
        <source>このプログラムより新しい版で書かれたジョブファイルです.</source>
        <translation>The job file was written by a newer version of the program.</translation>
    </message>
    <message>
        <source>ファイルが壊れています (写真の一覧がありません).</source>
        <translation>The file is damaged (it has no list of photos).</translation>
    </message>
    <message>
        <source>写真の数が多すぎます.</source>
        <translation>It lists far too many photos.</translation>
    </message>
    <message>
        <source>写真</source>
        <translation>Photo</translation>
    </message>
    <message>
        <source>題名・パス・指紋のどれかがありません.</source>
        <translation>Its title, path or fingerprint is missing.</translation>
    </message>
    <message>
        <source>題名が長すぎます.</source>
        <translation>Its title is too long.</translation>
    </message>
    <message>
        <source>パスがジョブのフォルダの外を指しています:</source>
        <translation>Its path points outside the job&apos;s folder:</translation>
    </message>
    <message>
        <source>写真の指紋が壊れています.</source>
        <translation>Its fingerprint is damaged.</translation>
    </message>
    <message>
        <source>同じ写真が二度載っています.</source>
        <translation>The same photo is listed twice.</translation>
    </message>
    <message>
        <source>写真の大きさが壊れています.</source>
        <translation>Its size is damaged.</translation>
    </message>
    <message>
        <source>ファイルがありません.</source>
        <translation>There is no such file.</translation>
    </message>
    <message>
        <source>通常のファイルではありません.</source>
        <translation>It is not a regular file.</translation>
    </message>
    <message>
        <source>ファイルを開けません.</source>
        <translation>The file cannot be opened.</translation>
    </message>
    <message>
        <source>ファイルを読み込めません.</source>
        <translation>The file cannot be read.</translation>
    </message>
    <message>
        <source>ジョブファイルを書き込めません:</source>
        <translation>Cannot write the job file:</translation>
    </message>
    <message>
        <source>通常のファイルではありません (リンクや特殊なファイルは置き換えません).</source>
        <translation>It is not a regular file (a link or a special file is never replaced).</translation>
    </message>
    <message>
        <source>計測データをジョブのフォルダに保存できませんでした:</source>
        <translation>The measurements could not be kept in the job&apos;s folder:</translation>
    </message>
    <message>
        <source>ジョブの計測データを読み込めませんでした.</source>
        <translation>The job&apos;s measurements could not be read.</translation>
    </message>
    <message>
        <source>ジョブの計測データを読み込めませんでした:</source>
        <translation>The job&apos;s measurements could not be read:</translation>
    </message>
    <message>
        <source>ジョブのフォルダの中にある写真だけを加えられます:</source>
        <translation>Only photos inside the job&apos;s folder can be added:</translation>
    </message>
    <message>
        <source>写真を読み込めません:</source>
        <translation>Cannot read the photo:</translation>
    </message>
    <message>
        <source>写真は別の場所で見つかりました:</source>
        <translation>The photo was found elsewhere:</translation>
    </message>
    <message>
        <source>同じ名前の別の写真に置き換えられています. 元の写真の計測データはジョブに残っています.</source>
        <translation>Another photo has replaced it under the same name. The original photo&apos;s measurements stay in the job.</translation>
    </message>
    <message>
        <source>写真がジョブのフォルダにありません.</source>
        <translation>The photo is not in the job&apos;s folder.</translation>
    </message>
    <message>
        <source>単価が壊れています.</source>
        <translation>Its unit price is damaged.</translation>
    </message>
</context>
<context>
    <name>JobPanel</name>
    <message>
        <source>ジョブ</source>
        <translation>Job</translation>
    </message>
    <message>
        <source>追加…</source>
        <translation>Add…</translation>
    </message>
    <message>
        <source>外す</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>上へ</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>下へ</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>名前…</source>
        <translation>Title…</translation>
    </message>
    <message>
        <source>基準: 設定済み</source>
        <translation>Reference: set</translation>
    </message>
    <message>
        <source>基準: 未設定</source>
        <translation>Reference: not set</translation>
    </message>
</context>
<context>
    <name>JobReport</name>
    <message>
        <source>作業の計測結果</source>
        <translation>Results of the job</translation>
    </message>
    <message>
        <source>作業: </source>
        <translation>Job: </translation>
    </message>
    <message>
        <source>写真の数: </source>
        <translation>Photos: </translation>
    </message>
    <message>
        <source>写真ごとの合計</source>
        <translation>Totals of each photo</translation>
    </message>
    <message>
        <source>写真</source>
        <translation>Photo</translation>
    </message>
    <message>
        <source>長さ (㎜)</source>
        <translation>Length (mm)</translation>
    </message>
    <message>
        <source>面積 (㎡)</source>
        <translation>Area (m²)</translation>
    </message>
    <message>
        <source>金額</source>
        <translation>Cost</translation>
    </message>
    <message>
        <source>計測なし</source>
        <translation>no results</translation>
    </message>
    <message>
        <source>作業全体のグループごとの合計</source>
        <translation>Totals of each group over the job</translation>
    </message>
    <message>
        <source>合計</source>
        <translation>Total</translation>
    </message>
</context>
<context>
    <name>JobWorkbook</name>
    <message>
        <source>計測結果</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>合計</source>
        <translation>Totals</translation>
    </message>
    <message>
        <source>写真</source>
        <translation>Photo</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Setting</translation>
    </message>
    <message>
        <source>面</source>
        <translation>Plane</translation>
    </message>
    <message>
        <source>種類</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>番号</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>グループ</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>長さ</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>面積</source>
        <translation>Area</translation>
    </message>
    <message>
        <source>標準不確かさ</source>
        <translation>Standard uncertainty</translation>
    </message>
    <message>
        <source>単価</source>
        <translation>Unit price</translation>
    </message>
    <message>
        <source>金額</source>
        <translation>Cost</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>m²</source>
        <translation>m²</translation>
    </message>
    <message>
        <source>m</source>
        <translation>m</translation>
    </message>
    <message>
        <source>写真とグループごとの合計</source>
        <translation>Totals by photo and group</translation>
    </message>
    <message>
        <source>作業全体のグループごとの合計</source>
        <translation>Totals by group over the job</translation>
    </message>
    <message>
        <source>総計</source>
        <translation>Total</translation>
    </message>
</context>
<context>
    <name>Lens</name>
    <message>
        <source>レンズ補正: </source>
        <translation>Lens: </translation>
    </message>
    <message>
        <source>なし</source>
        <translation>none</translation>
    </message>
    <message>
        <source>直線 %1 本</source>
        <translation>%1 straight edges</translation>
    </message>
    <message>
        <source> (カメラのプロファイル)</source>
        <translation> (camera profile)</translation>
    </message>
    <message>
        <source>レンズを求めるには直線が２本以上必要です.</source>
        <translation>At least two straight edges are needed to find the lens.</translation>
    </message>
    <message>
        <source>直線には３点以上が必要です.</source>
        <translation>A straight edge needs at least three points.</translation>
    </message>
    <message>
        <source>直線が短すぎてレンズを求められません.</source>
        <translation>An edge is too short to find the lens.</translation>
    </message>
    <message>
        <source>写真から遠く外れた点があります.</source>
        <translation>A point lies far outside the photo.</translation>
    </message>
    <message>
        <source>写真の大きさが分かりません.</source>
        <translation>The photo&apos;s size is not known.</translation>
    </message>
    <message>
        <source>直線からレンズを決められません. 写真の端に近い, 長い直線を加えてください.</source>
        <translation>The edges do not tell the lens. Add longer edges nearer the photo&apos;s border.</translation>
    </message>
    <message>
        <source>補正しても直線がまっすぐになりません.</source>
        <translation>Correcting the lens would not straighten the edges.</translation>
    </message>
    <message>
        <source>直線のずれ </source>
        <translation>Edges off their lines </translation>
    </message>
    <message>
        <source>確かさ ±</source>
        <translation>certainty ±</translation>
    </message>
</context>
<context>
    <name>ListDialog</name>
    <message>
        <source>PD25ﾃﾞｰﾀ</source>
        <translation>PD25 data</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>拡大率 = %1</source>
        <translation>Zoom = %1</translation>
    </message>
    <message>
        <source>予期しないエラーが発生しました.</source>
        <translation>An unexpected error occurred.</translation>
    </message>
    <message>
        <source>環境設定情報を保存できませんでした.</source>
        <translation>The preferences could not be saved.</translation>
    </message>
</context>
<context>
    <name>Overlay</name>
    <message>
        <source>㎡</source>
        <translation> m²</translation>
    </message>
    <message>
        <source>ﾟ</source>
        <translation>°</translation>
    </message>
</context>
<context>
    <name>Pd25</name>
    <message>
        <source>m, cm, mm, ft, in の値を選んでください.</source>
        <translation>Please choose a value in m, cm, mm, ft or in.</translation>
    </message>
    <message>
        <source>単位のない値は長さにできません.<byte value="xd"/></source>
        <translation>A value without a unit cannot be used as a length.<byte value="xd"/></translation>
    </message>
    <message>
        <source>単位 &apos;</source>
        <translation>A value in &apos;</translation>
    </message>
    <message>
        <source>&apos; の値は長さにできません.<byte value="xd"/></source>
        <translation>&apos; cannot be used as a length.<byte value="xd"/></translation>
    </message>
</context>
<context>
    <name>Photo</name>
    <message>
        <source>&apos;%1&apos; は壊れているため読み込めません (%2 × %3 画素と記されていますが, データが少なすぎます).</source>
        <translation>&apos;%1&apos; is damaged and cannot be opened (it claims %2 × %3 pixels, but holds too little data).</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は途中で切れているため読み込めません.</source>
        <translation>&apos;%1&apos; is cut short and cannot be opened.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; を読み込めませんでした (%2).</source>
        <translation>&apos;%1&apos; could not be read (%2).</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は画像として読み込めません.</source>
        <translation>&apos;%1&apos; cannot be read as a picture.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は大きすぎて読み込めません (%2 × %3 画素, %4 メガ画素). 開ける写真は %5 メガ画素までです (環境設定で変えられます).</source>
        <translation>&apos;%1&apos; is too large to open (%2 × %3 pixels, %4 megapixels). Photos of up to %5 megapixels open (see the preferences).</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は通常のファイルではないため読み込めません (パイプや装置は開けません).</source>
        <translation>&apos;%1&apos; cannot be opened: it is not a regular file (pipes and devices are not opened).</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は JPEG ファイルではないため読み込めません.</source>
        <translation>&apos;%1&apos; cannot be read: it is not a JPEG file.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; はこのプログラムが対応していない種類の JPEG のため読み込めません.</source>
        <translation>&apos;%1&apos; cannot be read: it is a kind of JPEG this program does not support.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; を読み込むためのメモリが足りません.</source>
        <translation>There is not enough memory to read &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は壊れているため読み込めません (JPEG のデータに誤りがあります).</source>
        <translation>&apos;%1&apos; cannot be read: it is damaged (its JPEG data has errors).</translation>
    </message>
    <message>
        <source>&apos;%1&apos; の形式 (%2) の画像は読み込めません. JPEG, HEIC, BMP, PNG の写真を開いてください.</source>
        <translation>&apos;%1&apos; is a picture of a kind (%2) this program does not open. Please open a JPEG, HEIC, BMP or PNG photo.</translation>
    </message>
</context>
<context>
    <name>PhotoInfoDialog</name>
    <message>
        <source>写真の情報</source>
        <translation>Photo information</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>File</translation>
    </message>
    <message>
        <source>カメラ</source>
        <translation>Camera</translation>
    </message>
    <message>
        <source>この写真にはカメラの情報がありません</source>
        <translation>This photo carries no camera data</translation>
    </message>
</context>
<context>
    <name>ProfileMaker</name>
    <message>
        <source>カメラの記録なし</source>
        <translation>no camera recorded</translation>
    </message>
    <message>
        <source>チェッカーボードの交点は横と縦とも 3 つ以上, 升目の大きさは 0 より大きくしてください.</source>
        <translation>The board needs at least 3 inner corners across and down, and squares larger than 0.</translation>
    </message>
    <message>
        <source>チェッカーボードの写真がありません.</source>
        <translation>There are no photos of the board.</translation>
    </message>
    <message>
        <source>写真の大きさがそろっていません. 一度に測れるのは 1 つのカメラの 1 つの設定だけです.</source>
        <translation>The photos are not all of one size. One camera at one setting is calibrated at a time.</translation>
    </message>
    <message>
        <source>チェッカーボードが見つかった写真は %1 枚だけです. 少なくとも %2 枚いります (板の傾きを変えて 10 枚ほど撮ると確かです). 交点の数が板と合っているか確かめてください.</source>
        <translation>The board was found on only %1 photos; at least %2 are needed (about 10 with the board tilted in different ways give a reliable profile). Check that the inner corners given match the board.</translation>
    </message>
    <message>
        <source>レンズを求められませんでした: 写真から解が見つかりませんでした.</source>
        <translation>The lens could not be worked out: the photos gave no solution.</translation>
    </message>
    <message>
        <source>中止しました.</source>
        <translation>Cancelled.</translation>
    </message>
    <message>
        <source>写真が多すぎます (%1 枚). 一度に使えるのは %2 枚までです.</source>
        <translation>Too many photos (%1). At most %2 can be used at once.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; を読み込めません.</source>
        <translation>Cannot read &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; を読み込むためのメモリが足りません.</source>
        <translation>Not enough memory to read &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>写真のカメラがそろっていません: &apos;%1&apos; は %2, 最初の写真 &apos;%3&apos; は %4 です. 1 つのカメラの 1 つの焦点距離の写真だけを使ってください.</source>
        <translation>The photos are not of one camera: &apos;%1&apos; is from %2, the first photo &apos;%3&apos; from %4. Use photos of one camera at one focal length only.</translation>
    </message>
    <message>
        <source>写真の大きさがそろっていません: &apos;%1&apos; は %2 × %3 画素, 最初の写真 &apos;%4&apos; は %5 × %6 画素です.</source>
        <translation>The photos are not all of one size: &apos;%1&apos; is %2 × %3 pixels, the first photo &apos;%4&apos; %5 × %6 pixels.</translation>
    </message>
    <message>
        <source>再投影誤差が %1 画素で, 許せる %2 画素を超えています. 升目の大きさと交点の数が板と合っているか, 板が平らか, 写真がぼけていないか確かめてください.</source>
        <translation>The reprojection error of %1 px is above the %2 px allowed. Check that the square size and the inner corners match the board, that the board lies flat and that the photos are sharp.</translation>
    </message>
    <message>
        <source>写真の EXIF にカメラの記録がないため, このプロファイルは写真に自動では当てはめられません (名前で選ぶことはできます).</source>
        <translation>The photos&apos; EXIF data name no camera, so this profile is not applied to photos by itself (it can still be chosen by name).</translation>
    </message>
</context>
<context>
    <name>Prompter</name>
    <message>
        <source><byte value="xd"/><byte value="xd"/>計測データを保存できませんでした.</source>
        <translation><byte value="xd"/><byte value="xd"/>The measurements could not be saved.</translation>
    </message>
    <message>
        <source>再試行(&amp;R)</source>
        <translation>&amp;Retry</translation>
    </message>
    <message>
        <source>保存せずに続行(&amp;D)</source>
        <translation>Continue without saving(&amp;D)</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>名称入力</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は既に存在します.<byte value="xd"/>上書きしますか?</source>
        <translation>&apos;%1&apos; already exists.<byte value="xd"/>Replace it?</translation>
    </message>
    <message>
        <source>ＰＤ２５データ(csv)を開く</source>
        <translation>Open PD25 data (csv)</translation>
    </message>
    <message>
        <source>保存する</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>保存しない</source>
        <translation>Don&apos;t Save</translation>
    </message>
    <message>
        <source>画像ファイル (*.jpg *.jpeg *.JPG *.JPEG *.heic *.heif *.HEIC *.HEIF *.bmp *.BMP *.png *.PNG *.tif *.tiff);;すべてのファイル (*)</source>
        <translation>Pictures (*.jpg *.jpeg *.JPG *.JPEG *.heic *.heif *.HEIC *.HEIF *.bmp *.BMP *.png *.PNG *.tif *.tiff);;All files (*)</translation>
    </message>
    <message>
        <source>ジョブを開く</source>
        <translation>Open Job</translation>
    </message>
    <message>
        <source>ジョブファイル (*.kvxjob);;すべてのファイル (*)</source>
        <translation>Job files (*.kvxjob);;All files (*)</translation>
    </message>
    <message>
        <source>新規ジョブ</source>
        <translation>New Job</translation>
    </message>
    <message>
        <source>ジョブファイル (*.kvxjob)</source>
        <translation>Job files (*.kvxjob)</translation>
    </message>
    <message>
        <source>ジョブに写真を加える</source>
        <translation>Add Photos to the Job</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>中心線（上）をマウス㊧ボタンで指示</source>
        <translation>centre line (top) with the left button</translation>
    </message>
    <message>
        <source>中心線（下）</source>
        <translation>centre line (bottom)</translation>
    </message>
    <message>
        <source>左基準線（上）</source>
        <translation>left base line (top)</translation>
    </message>
    <message>
        <source>左基準線（下）</source>
        <translation>left base line (bottom)</translation>
    </message>
    <message>
        <source>右基準線（上）</source>
        <translation>right base line (top)</translation>
    </message>
    <message>
        <source>右基準線（下）</source>
        <translation>right base line (bottom)</translation>
    </message>
    <message>
        <source>[基準矩形を設定する]&#x3000;基準となる矩形をマウス㊧ボタンで指示[</source>
        <translation>[Set the reference rectangle]  Click the corners of the reference rectangle with the left button [point </translation>
    </message>
    <message>
        <source>点目]</source>
        <translation>]</translation>
    </message>
    <message>
        <source>点目]。㊨ボタンで前点のやり直し</source>
        <translation>]. Right button: take back the last point</translation>
    </message>
    <message>
        <source>[基準矩形を設定する]&#x3000;基準をマウス㊧ボタンで指示</source>
        <translation>[Set the reference rectangle]  Click the reference with the left button</translation>
    </message>
    <message>
        <source>[基準（６点入力）を設定する]&#x3000;基準となる</source>
        <translation>[Set the reference (six points)]  Click the </translation>
    </message>
    <message>
        <source>をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し</source>
        <translation> with the left button. Right button: take back the last point</translation>
    </message>
    <message>
        <source>[基準矩形を調整する]&#x3000;調整する基準矩形の頂点をマウス㊧ボタンで指示</source>
        <translation>[Adjust the reference rectangle]  Click the corner of the reference rectangle to adjust with the left button</translation>
    </message>
    <message>
        <source>[基準矩形を調整する]&#x3000;調整後の基準矩形の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し</source>
        <translation>[Adjust the reference rectangle]  Click the corner&apos;s new position with the left button ([SHIFT] = square). Right button: take back the last point</translation>
    </message>
    <message>
        <source>[計測基準Ｗを設定する]&#x3000;計測基準Ｗとなる端点の位置をマウス㊧ボタンで指示</source>
        <translation>[Set the measuring base W]  Click one end of the measuring base W with the left button</translation>
    </message>
    <message>
        <source>[計測基準Ｗを設定する]&#x3000;計測基準Ｗとなるもう一方の端点の位置をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し</source>
        <translation>[Set the measuring base W]  Click the other end of the measuring base W with the left button. Right button: take back the last point</translation>
    </message>
    <message>
        <source>[計測基準Ｈを設定する]&#x3000;計測基準Ｈとなる端点の位置をマウス㊧ボタンで指示</source>
        <translation>[Set the measuring base H]  Click one end of the measuring base H with the left button</translation>
    </message>
    <message>
        <source>[計測基準Ｈを設定する]&#x3000;計測基準Ｈとなるもう一方の端点の位置をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し</source>
        <translation>[Set the measuring base H]  Click the other end of the measuring base H with the left button. Right button: take back the last point</translation>
    </message>
    <message>
        <source>[計測基準ＷＨを調整する]&#x3000;調整する計測基準ＷＨの端点をマウス㊧ボタンで指示</source>
        <translation>[Adjust the measuring bases W and H]  Click the end to adjust with the left button</translation>
    </message>
    <message>
        <source>[計測基準ＷＨを調整する]&#x3000;調整後の計測基準ＷＨの端点をマウス㊧ボタンで指示。㊨ボタンでやり直し</source>
        <translation>[Adjust the measuring bases W and H]  Click the end&apos;s new position with the left button. Right button: start again</translation>
    </message>
    <message>
        <source>[計測基準を設定する]&#x3000;計測基準となる矩形の頂点をマウス㊧ボタンで指示</source>
        <translation>[Set the measurement base]  Click a corner of the measurement base rectangle with the left button</translation>
    </message>
    <message>
        <source>[計測基準を設定する]&#x3000;計測基準となる矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し</source>
        <translation>[Set the measurement base]  Click the opposite corner with the left button. Right button: take back the last point</translation>
    </message>
    <message>
        <source>[計測基準を調整する]&#x3000;調整する計測基準の端点をマウス㊧ボタンで指示</source>
        <translation>[Adjust the measurement base]  Click the corner to adjust with the left button</translation>
    </message>
    <message>
        <source>[計測基準を調整する]&#x3000;調整後の計測基準の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し</source>
        <translation>[Adjust the measurement base]  Click the corner&apos;s new position with the left button ([SHIFT] = square). Right button: start again</translation>
    </message>
    <message>
        <source>[距離を求める・２点間の距離を求める]&#x3000;求めたい距離の端点の位置をマウス㊧ボタンで指示</source>
        <translation>[Distance: between two points]  Click one end of the distance with the left button</translation>
    </message>
    <message>
        <source>[距離を求める・２点間の距離を求める]&#x3000;求めたい距離のもう一方の端点の位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで１点目のやり直し</source>
        <translation>[Distance: between two points]  Click the other end with the left button ([SHIFT] = square). Right button: take back the first point</translation>
    </message>
    <message>
        <source>[距離を求める・削除する]&#x3000;削除したい距離をマウス㊧ボタンで指示</source>
        <translation>[Distance: delete]  Click the distance to delete with the left button</translation>
    </message>
    <message>
        <source>[距離を求める・２点間を調整する]&#x3000;調整する距離の端点をマウス㊧ボタンで指示</source>
        <translation>[Distance: adjust]  Click the end of the distance to adjust with the left button</translation>
    </message>
    <message>
        <source>[距離を求める・２点間を調整する]&#x3000;調整後の距離の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し</source>
        <translation>[Distance: adjust]  Click the end&apos;s new position with the left button ([SHIFT] = square). Right button: start again</translation>
    </message>
    <message>
        <source>[距離を求める・遠近補正する]&#x3000;遠近補正する距離をマウス㊧ボタンで指示</source>
        <translation>[Distance: perspective correction]  Click the distance to correct with the left button</translation>
    </message>
    <message>
        <source>[距離を求める・遠近補正する]&#x3000;遠近補正する距離の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し</source>
        <translation>[Distance: perspective correction]  Click where the distance projects onto the side with the left button. Right button: start again</translation>
    </message>
    <message>
        <source>[距離を求める・遠近補正を解除する]&#x3000;遠近補正を解除する距離をマウス㊧ボタンで指示</source>
        <translation>[Distance: remove the correction]  Click the distance whose correction to remove with the left button</translation>
    </message>
    <message>
        <source>[面積を求める・加算]&#x3000;</source>
        <translation>[Area: add]  </translation>
    </message>
    <message>
        <source>[面積を求める・減算]&#x3000;</source>
        <translation>[Area: subtract]  </translation>
    </message>
    <message>
        <source>求めたい面積の範囲をマウス㊧ボタンで指示</source>
        <translation>Click the outline of the area with the left button</translation>
    </message>
    <message>
        <source>求めたい面積の範囲をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し</source>
        <translation>Click the outline of the area with the left button ([SHIFT] = square). Right button: take back the last point</translation>
    </message>
    <message>
        <source>求めたい面積矩形の頂点をマウス㊧ボタンで指示</source>
        <translation>Click a corner of the area&apos;s rectangle with the left button</translation>
    </message>
    <message>
        <source>求めたい面積矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し</source>
        <translation>Click the opposite corner with the left button. Right button: take back the last point</translation>
    </message>
    <message>
        <source>[面積を求める・範囲を削除する]&#x3000;削除したい面積の範囲をマウス㊧ボタンで指示</source>
        <translation>[Area: delete]  Click the area to delete with the left button</translation>
    </message>
    <message>
        <source>[面積を求める・範囲を調整する]&#x3000;調整する面積形状の頂点をマウス㊧ボタンで指示</source>
        <translation>[Area: adjust]  Click the corner of the area to adjust with the left button</translation>
    </message>
    <message>
        <source>[面積を求める・範囲を調整する]&#x3000;調整後の面積形状の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し</source>
        <translation>[Area: adjust]  Click the corner&apos;s new position with the left button ([SHIFT] = square). Right button: start again</translation>
    </message>
    <message>
        <source>[面積を求める・傾斜設定]&#x3000;傾斜設定する面積をマウス㊧ボタンで指示</source>
        <translation>[Area: slope]  Click the area to give a slope with the left button</translation>
    </message>
    <message>
        <source>[面積を求める・遠近補正する]&#x3000;遠近補正する面積をマウス㊧ボタンで指示</source>
        <translation>[Area: perspective correction]  Click the area to correct with the left button</translation>
    </message>
    <message>
        <source>[面積を求める・遠近補正する]&#x3000;遠近補正する面積の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し</source>
        <translation>[Area: perspective correction]  Click where the area projects onto the side with the left button. Right button: start again</translation>
    </message>
    <message>
        <source>[面積を求める・遠近補正を解除する]&#x3000;遠近補正を解除する面積をマウス㊧ボタンで指示</source>
        <translation>[Area: remove the correction]  Click the area whose correction to remove with the left button</translation>
    </message>
    <message>
        <source>[基準矩形の交線]&#x3000;設定１と設定２の基準矩形の交線を㊧ボタンで指示。㊨ボタンでキャンセル</source>
        <translation>[Line where the references meet]  Click the line where the reference rectangles of settings 1 and 2 meet with the left button. Right button: cancel</translation>
    </message>
    <message>
        <source>[画像範囲]&#x3000;必要とする画像の範囲をマウス㊧ボタンで指示</source>
        <translation>[Image range]  Click a corner of the part of the photo you need with the left button</translation>
    </message>
    <message>
        <source>[画像範囲]&#x3000;必要とする画像の範囲をマウス㊧ボタンで指示。㊨ボタンで１点目のやり直し</source>
        <translation>[Image range]  Click the opposite corner with the left button. Right button: take back the first point</translation>
    </message>
    <message>
        <source>※辺が交差するため設定できません。頂点は外周に沿って順に指示してください</source>
        <translation>* Not accepted: the edges cross. Click the corners in order around the outline</translation>
    </message>
    <message>
        <source>※面積がないため設定できません。頂点が重なるか３点が一直線上にあります</source>
        <translation>* Not accepted: the outline has no area. Two corners coincide or three lie on one line</translation>
    </message>
    <message>
        <source>[検証距離]&#x3000;実際の長さが分かっている距離の端点をマウス㊧ボタンで指示</source>
        <translation>[Check distance]  Click one end of a distance whose real length you know with the left button</translation>
    </message>
    <message>
        <source>[検証距離]&#x3000;もう一方の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで１点目のやり直し</source>
        <translation>[Check distance]  Click the other end with the left button ([SHIFT] = square). Right button: redo the first point</translation>
    </message>
    <message>
        <source>[検証距離・削除する]&#x3000;削除したい検証距離をマウス㊧ボタンで指示</source>
        <translation>[Check distance - delete]  Click the check distance to delete with the left button</translation>
    </message>
    <message>
        <source>測った長さ: </source>
        <translation>Measured length: </translation>
    </message>
    <message>
        <source>実際の長さ (mm) を入力してください</source>
        <translation>Type the real length (mm)</translation>
    </message>
    <message>
        <source>「</source>
        <translation>&quot;</translation>
    </message>
    <message>
        <source>」は長さとして読めません. 0.1 から 1,000,000 までの mm の数を, 1000 や 1,250.5 のように入力してください.</source>
        <translation>&quot; is not a length. Type a number of mm from 0.1 to 1,000,000, such as 1000 or 1,250.5.</translation>
    </message>
    <message>
        <source>[基準矩形を設定する]&#x3000;基準矩形の実寸Ｗ、Ｈ（㎜）を入力してEnter</source>
        <translation>[Set the reference rectangle]  Type the real W and H of the reference rectangle (mm) and press Enter</translation>
    </message>
    <message>
        <source>[直線を指示してレンズを補正]&#x3000;同じ線の上を続けてクリック。３点以上で㊨ボタンかEnterで１本終了。㊨ボタンで前点のやり直し</source>
        <translation>[Straight edges for the lens]  Click more points along the same line. With 3 or more, right button or Enter: end the edge; with fewer, right button: take back the last point</translation>
    </message>
    <message>
        <source>[直線を指示してレンズを補正]&#x3000;現実に真っすぐな線（柱, 窓枠, 目地）の上を３点以上クリック。㊨ボタンかEnterで１本終了。点のドラッグで移動, 直線の上で㊨ボタンで削除</source>
        <translation>[Straight edges for the lens]  Click 3 or more points along a line that is straight in reality (a post, a window frame, a joint). Right button or Enter: end the edge; drag a point to move it, right-click on an edge to delete it</translation>
    </message>
</context>
<context>
    <name>PropertyDialog</name>
    <message>
        <source>環境設定</source>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>ﾋﾟｸｾﾙ</source>
        <translation>pixels</translation>
    </message>
    <message>
        <source>フォントサイズ</source>
        <translation>Font size</translation>
    </message>
    <message>
        <source>(8～20)</source>
        <translation>(8-20)</translation>
    </message>
    <message>
        <source>作業ファイル削除</source>
        <translation>Delete working files</translation>
    </message>
    <message>
        <source>日後</source>
        <translation>days later</translation>
    </message>
    <message>
        <source>ショートカットボタン</source>
        <translation>Shortcut buttons</translation>
    </message>
    <message>
        <source>調整中の描画</source>
        <translation>Draw while adjusting</translation>
    </message>
    <message>
        <source>ＰＤ２５データ読込</source>
        <translation>Read PD25 data</translation>
    </message>
    <message>
        <source>ＨＩＬＴＩのレーザー計測器をお持ちでない方はチェックを入れないで下さい</source>
        <translation>Leave this unchecked unless you own a HILTI laser range meter</translation>
    </message>
    <message>
        <source>面積エリア名称入力</source>
        <translation>Ask for area names</translation>
    </message>
    <message>
        <source>（↑通常はチェック無し）</source>
        <translation>(↑ normally unchecked)</translation>
    </message>
    <message>
        <source>色設定</source>
        <translation>Colours</translation>
    </message>
    <message>
        <source>色設定２</source>
        <translation>Colours 2</translation>
    </message>
    <message>
        <source>基準矩形</source>
        <translation>Reference</translation>
    </message>
    <message>
        <source>交線</source>
        <translation>Meeting line</translation>
    </message>
    <message>
        <source>基準WH</source>
        <translation>Base W/H</translation>
    </message>
    <message>
        <source>計測基準</source>
        <translation>Measurement base</translation>
    </message>
    <message>
        <source>距離計測</source>
        <translation>Distances</translation>
    </message>
    <message>
        <source>面積加算</source>
        <translation>Added areas</translation>
    </message>
    <message>
        <source>面積減算</source>
        <translation>Subtracted areas</translation>
    </message>
    <message>
        <source>↑基準６点入力時有効</source>
        <translation>↑ used with the six-point reference</translation>
    </message>
    <message>
        <source>言語</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>OSの設定に合わせる</source>
        <translation>Follow the system</translation>
    </message>
    <message>
        <source>日本語</source>
        <translation>Japanese</translation>
    </message>
    <message>
        <source>次に起動したときから有効</source>
        <translation>Takes effect at the next start</translation>
    </message>
    <message>
        <source>ルーペの倍率</source>
        <translation>Loupe magnification</translation>
    </message>
    <message>
        <source>倍 (2～8)</source>
        <translation>times (2-8)</translation>
    </message>
    <message>
        <source>基準矩形の頂点を写真の角に合わせる</source>
        <translation>Snap the reference&apos;s corners to the photo&apos;s corners</translation>
    </message>
    <message>
        <source>ＰＤＦに計測結果の詳細を付ける</source>
        <translation>Add the detailed results to the PDF report</translation>
    </message>
    <message>
        <source>クリックの精度 (±の計算)</source>
        <translation>Click precision (for ±)</translation>
    </message>
    <message>
        <source>画素 (0.1～5)</source>
        <translation>pixels (0.1–5)</translation>
    </message>
    <message>
        <source>点を置くときのずれの見込み (標準偏差). 計測値の ± はここから求めます</source>
        <translation>How far a placed point may be off (one standard deviation). The ± of every result is worked out from it</translation>
    </message>
    <message>
        <source>写真上の数値に ± を付ける</source>
        <translation>Show ± after the values on the photo</translation>
    </message>
    <message>
        <source>開く写真の大きさの上限</source>
        <translation>Largest photo to open</translation>
    </message>
    <message>
        <source>メガ画素 (10～1000)</source>
        <translation>megapixels (10 to 1000)</translation>
    </message>
    <message>
        <source>これより画素数の多い写真は, 読み込む前に断ります (メモリを使い尽くさないため)</source>
        <translation>Photos of more pixels are refused before they are read, so that they cannot use up the memory</translation>
    </message>
    <message>
        <source>マーカーの一辺 (mm)</source>
        <translation>Marker side (mm)</translation>
    </message>
    <message>
        <source>mm (10～180)</source>
        <translation>mm (10 to 180)</translation>
    </message>
</context>
<context>
    <name>Report</name>
    <message>
        <source>KalvexＰＤＦ</source>
        <translation>Kalvex PDF</translation>
    </message>
    <message>
        <source>計測結果の詳細</source>
        <translation>Detailed results</translation>
    </message>
    <message>
        <source>写真: </source>
        <translation>Photo: </translation>
    </message>
    <message>
        <source>日付: </source>
        <translation>Date: </translation>
    </message>
    <message>
        <source>設定: </source>
        <translation>Setting: </translation>
    </message>
    <message>
        <source>設定２面同時</source>
        <translation>Settings 1 and 2 together</translation>
    </message>
    <message>
        <source>単価: </source>
        <translation>Unit price: </translation>
    </message>
    <message>
        <source>面1</source>
        <translation>Plane 1</translation>
    </message>
    <message>
        <source>面2</source>
        <translation>Plane 2</translation>
    </message>
    <message>
        <source>グループ</source>
        <translation>Group </translation>
    </message>
    <message>
        <source>金額=</source>
        <translation>cost=</translation>
    </message>
    <message>
        <source>検証距離 (実際の長さが分かっている距離)</source>
        <translation>Check distances (distances whose real length is known)</translation>
    </message>
</context>
<context>
    <name>ReportFile</name>
    <message>
        <source>&apos; を書き込めませんでした.</source>
        <translation>&apos; could not be written.</translation>
    </message>
    <message>
        <source>印刷を開始できませんでした.</source>
        <translation>Printing could not be started.</translation>
    </message>
</context>
<context>
    <name>ResultsPanel</name>
    <message>
        <source>種類</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>番号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>ｸﾞﾙｰﾌﾟ</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>値</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>勾配V</source>
        <translation>Slope V</translation>
    </message>
    <message>
        <source>勾配H</source>
        <translation>Slope H</translation>
    </message>
    <message>
        <source>補正</source>
        <translation>Corrected</translation>
    </message>
    <message>
        <source>延長</source>
        <translation>Chain total</translation>
    </message>
    <message>
        <source>計測結果</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>面積</source>
        <translation>Area</translation>
    </message>
    <message>
        <source>距離</source>
        <translation>Distance</translation>
    </message>
    <message>
        <source>ｸﾞﾙｰﾌﾟ%1: 距離 %2%3, 面積 %4%5, 金額 %6</source>
        <translation>Group %1: length %2%3, area %4%5, cost %6</translation>
    </message>
    <message>
        <source>±</source>
        <translation>±</translation>
    </message>
    <message>
        <source>検証</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>既知の長さ</source>
        <translation>Known</translation>
    </message>
    <message>
        <source>測定値</source>
        <translation>Measured</translation>
    </message>
    <message>
        <source>偏差</source>
        <translation>Off by</translation>
    </message>
    <message>
        <source>偏差 %</source>
        <translation>Off by %</translation>
    </message>
    <message>
        <source>判定</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>既知の長さをダブルクリックすると変更できます. Delete キーで削除します</source>
        <translation>Double-click the known length to change it. Delete removes the check.</translation>
    </message>
    <message>
        <source>2σ以内</source>
        <translation>within 2σ</translation>
    </message>
    <message>
        <source>2σ超</source>
        <translation>beyond 2σ</translation>
    </message>
</context>
<context>
    <name>ScanDialog</name>
    <message>
        <source>スキャンデバイスの選択＆読込実行</source>
        <translation>Choose a scanner and scan</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>スキャンデバイスが選択されていません.</source>
        <translation>No scanner is chosen.</translation>
    </message>
</context>
<context>
    <name>StartHint</name>
    <message>
        <source>写真を開くと計測を始められます</source>
        <translation>Open a photo to start measuring</translation>
    </message>
    <message>
        <source>写真を開く...</source>
        <translation>Open a photo...</translation>
    </message>
    <message>
        <source>写真のファイルをここへドラッグしても開けます</source>
        <translation>or drag a photo here</translation>
    </message>
    <message>
        <source>最近開いた写真</source>
        <translation>Recent photos</translation>
    </message>
</context>
<context>
    <name>Status</name>
    <message>
        <source>距離</source>
        <translation>Distance</translation>
    </message>
    <message>
        <source>面積</source>
        <translation>Area</translation>
    </message>
</context>
<context>
    <name>Steps</name>
    <message>
        <source>距離の追加</source>
        <translation>add a distance</translation>
    </message>
    <message>
        <source>距離の削除</source>
        <translation>delete a distance</translation>
    </message>
    <message>
        <source>すべての距離を削除</source>
        <translation>delete all distances</translation>
    </message>
    <message>
        <source>距離の補正</source>
        <translation>correct a distance</translation>
    </message>
    <message>
        <source>距離の補正解除</source>
        <translation>remove a distance&apos;s correction</translation>
    </message>
    <message>
        <source>面積の追加</source>
        <translation>add an area</translation>
    </message>
    <message>
        <source>面積の削除</source>
        <translation>delete an area</translation>
    </message>
    <message>
        <source>すべての面積を削除</source>
        <translation>delete all areas</translation>
    </message>
    <message>
        <source>勾配の設定</source>
        <translation>set a slope</translation>
    </message>
    <message>
        <source>名称の変更</source>
        <translation>rename an area</translation>
    </message>
    <message>
        <source>面積の補正</source>
        <translation>correct an area</translation>
    </message>
    <message>
        <source>面積の補正解除</source>
        <translation>remove an area&apos;s correction</translation>
    </message>
    <message>
        <source>基準矩形の設定</source>
        <translation>set the reference rectangle</translation>
    </message>
    <message>
        <source>基準線の設定</source>
        <translation>set a measuring base</translation>
    </message>
    <message>
        <source>計測基準の設定</source>
        <translation>set the measurement base</translation>
    </message>
    <message>
        <source>交線の設定</source>
        <translation>set the meeting line</translation>
    </message>
    <message>
        <source>リセット</source>
        <translation>start over</translation>
    </message>
    <message>
        <source>単価の変更</source>
        <translation>change the unit price</translation>
    </message>
    <message>
        <source>基準寸法の変更</source>
        <translation>change the reference size</translation>
    </message>
    <message>
        <source>画像処理の設定</source>
        <translation>image processing</translation>
    </message>
    <message>
        <source>計測データの復元</source>
        <translation>bring back the measurements</translation>
    </message>
    <message>
        <source>基準矩形の調整</source>
        <translation>adjust the reference rectangle</translation>
    </message>
    <message>
        <source>基準線の調整</source>
        <translation>adjust a measuring base</translation>
    </message>
    <message>
        <source>計測基準の調整</source>
        <translation>adjust the measurement base</translation>
    </message>
    <message>
        <source>距離の調整</source>
        <translation>adjust a distance</translation>
    </message>
    <message>
        <source>面積の調整</source>
        <translation>adjust an area</translation>
    </message>
    <message>
        <source>計測結果の削除</source>
        <translation>delete results</translation>
    </message>
    <message>
        <source>検証距離の追加</source>
        <translation>add a check distance</translation>
    </message>
    <message>
        <source>検証距離の長さの変更</source>
        <translation>change a check&apos;s known length</translation>
    </message>
    <message>
        <source>検証距離の削除</source>
        <translation>delete a check distance</translation>
    </message>
    <message>
        <source>すべての検証距離を削除</source>
        <translation>delete all check distances</translation>
    </message>
    <message>
        <source>基準の自動検出</source>
        <translation>Detect the reference</translation>
    </message>
    <message>
        <source>レンズ補正の選択</source>
        <translation>choose the lens correction</translation>
    </message>
    <message>
        <source>直線の追加</source>
        <translation>add a straight edge</translation>
    </message>
    <message>
        <source>直線の調整</source>
        <translation>adjust a straight edge</translation>
    </message>
    <message>
        <source>直線の削除</source>
        <translation>delete a straight edge</translation>
    </message>
</context>
<context>
    <name>Summary</name>
    <message>
        <source>￥</source>
        <translation>¥</translation>
    </message>
    <message>
        <source>㎡</source>
        <translation> m²</translation>
    </message>
    <message>
        <source>合計面積=</source>
        <translation>Total area=</translation>
    </message>
    <message>
        <source>加算=</source>
        <translation>added=</translation>
    </message>
    <message>
        <source>減算=</source>
        <translation>subtracted=</translation>
    </message>
    <message>
        <source>面積=</source>
        <translation>area=</translation>
    </message>
    <message>
        <source>周長=</source>
        <translation>perimeter=</translation>
    </message>
    <message>
        <source>㎜</source>
        <translation> mm</translation>
    </message>
    <message>
        <source>長さ=</source>
        <translation>Length=</translation>
    </message>
    <message>
        <source>距離=</source>
        <translation>distance=</translation>
    </message>
    <message>
        <source>ﾟ</source>
        <translation>°</translation>
    </message>
    <message>
        <source>/㎡</source>
        <translation>/m²</translation>
    </message>
</context>
<context>
    <name>ToolPanel</name>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>戻す</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>やり直し</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>基準</source>
        <translation>Reference</translation>
    </message>
    <message>
        <source>基準矩形</source>
        <translation>Rectangle</translation>
    </message>
    <message>
        <source>１点</source>
        <translation>One point</translation>
    </message>
    <message>
        <source>計測基準</source>
        <translation>Measuring base</translation>
    </message>
    <message>
        <source>調整で動かした頂点に、もう一方の面の同じ頂点も付いて動く</source>
        <translation>A corner moved by an adjust tool takes the other plane&apos;s same corner along</translation>
    </message>
    <message>
        <source>最初のクリックがある面を今の面にする</source>
        <translation>The plane under the first click becomes the current one</translation>
    </message>
    <message>
        <source>基準切替</source>
        <translation>Switch plane</translation>
    </message>
    <message>
        <source>今の面</source>
        <translation>Current plane</translation>
    </message>
    <message>
        <source>面１</source>
        <translation>Plane 1</translation>
    </message>
    <message>
        <source>面２</source>
        <translation>Plane 2</translation>
    </message>
    <message>
        <source>計測</source>
        <translation>Measure</translation>
    </message>
    <message>
        <source>距離</source>
        <translation>Distance</translation>
    </message>
    <message>
        <source>加算面積</source>
        <translation>Add area</translation>
    </message>
    <message>
        <source>減算面積</source>
        <translation>Subtract area</translation>
    </message>
    <message>
        <source>調整</source>
        <translation>Adjust</translation>
    </message>
    <message>
        <source>WH</source>
        <translation>W/H</translation>
    </message>
    <message>
        <source>面積</source>
        <translation>Area</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>表示</source>
        <translation>View</translation>
    </message>
    <message>
        <source>拡大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>縮小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>全体表示</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>２面の基準矩形を１点のクリックで置く（設定２面同時）</source>
        <translation>Lay out both planes&apos; rectangles around one click (settings 1 and 2 together)</translation>
    </message>
</context>
<context>
    <name>Tools</name>
    <message>
        <source>名称入力</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>検証距離</source>
        <translation>Check distance</translation>
    </message>
</context>
<context>
    <name>Uncertainty</name>
    <message>
        <source>左の面: </source>
        <translation>Left plane: </translation>
    </message>
    <message>
        <source>右の面: </source>
        <translation>Right plane: </translation>
    </message>
    <message>
        <source>この基準矩形では, 写真の中央を通る 1 m の距離の不確かさが </source>
        <translation>With this reference, a 1 m distance through the middle of the photo is uncertain by </translation>
    </message>
    <message>
        <source>になり, 1 % を超えます.</source>
        <translation>– more than 1 %.</translation>
    </message>
    <message>
        <source>この基準矩形では, 写真の中央が面の地平線の向こうにあり, 測れません.</source>
        <translation>With this reference, the middle of the photo lies beyond the plane&apos;s horizon and cannot be measured.</translation>
    </message>
    <message>
        <source>原因: 面を斜めから見すぎています. もっと正面から撮った写真を使ってください.</source>
        <translation>Why: the plane is seen too obliquely. Use a photo taken more squarely.</translation>
    </message>
    <message>
        <source>原因: 基準矩形が写真の中で小さく, 画素が少なすぎます. もっと大きな基準を使うか, 近づいて撮ってください.</source>
        <translation>Why: the reference is small in the photo and spans too few pixels. Use a larger reference, or go closer.</translation>
    </message>
</context>
<context>
    <name>WindowBuild</name>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>開く(&amp;O)</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source>スキャナ読込(&amp;S)</source>
        <translation>&amp;Scan</translation>
    </message>
    <message>
        <source>ＰＤＦファイル出力(&amp;F)</source>
        <translation>PD&amp;F report</translation>
    </message>
    <message>
        <source>ＣＳＶファイル出力(&amp;C)</source>
        <translation>&amp;CSV file</translation>
    </message>
    <message>
        <source>印刷(&amp;P)</source>
        <translation>&amp;Print</translation>
    </message>
    <message>
        <source>環境設定(&amp;E)</source>
        <translation>Pr&amp;eferences</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>最初から(&amp;R)</source>
        <translation>Start &amp;over</translation>
    </message>
    <message>
        <source>基準矩形を設定する(&amp;B)</source>
        <translation>Set the re&amp;ference rectangle</translation>
    </message>
    <message>
        <source>計測基準Ｗを設定する(&amp;W)</source>
        <translation>Set the measuring base &amp;W</translation>
    </message>
    <message>
        <source>計測基準Ｈを設定する(&amp;H)</source>
        <translation>Set the measuring base &amp;H</translation>
    </message>
    <message>
        <source>計測基準を設定する(&amp;U)</source>
        <translation>Set the &amp;measurement base</translation>
    </message>
    <message>
        <source>距離を求める(&amp;L)</source>
        <translation>&amp;Distance</translation>
    </message>
    <message>
        <source>２点間の距離を求める(&amp;L)</source>
        <translation>Distance between &amp;two points</translation>
    </message>
    <message>
        <source>削除する(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>全て削除する(&amp;R)</source>
        <translation>Delete &amp;all</translation>
    </message>
    <message>
        <source>面積を求める(&amp;S)</source>
        <translation>&amp;Area</translation>
    </message>
    <message>
        <source>加算する(&amp;A)</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>減算する(&amp;S)</source>
        <translation>&amp;Subtract</translation>
    </message>
    <message>
        <source>範囲を削除する(&amp;D)</source>
        <translation>&amp;Delete an area</translation>
    </message>
    <message>
        <source>範囲を全て削除する(&amp;R)</source>
        <translation>Delete all ar&amp;eas</translation>
    </message>
    <message>
        <source>設定切換(&amp;C)</source>
        <translation>&amp;Setting</translation>
    </message>
    <message>
        <source>設定1(&amp;1)</source>
        <translation>Setting &amp;1</translation>
    </message>
    <message>
        <source>設定2(&amp;2)</source>
        <translation>Setting &amp;2</translation>
    </message>
    <message>
        <source>設定3(&amp;3)</source>
        <translation>Setting &amp;3</translation>
    </message>
    <message>
        <source>設定２面同時(&amp;4)</source>
        <translation>Settings 1 and 2 &amp;together</translation>
    </message>
    <message>
        <source>グループ切換(&amp;G)</source>
        <translation>&amp;Group</translation>
    </message>
    <message>
        <source>０１２３４５</source>
        <translation>012345</translation>
    </message>
    <message>
        <source>グループ%1(&amp;%2)</source>
        <translation>Group &amp;%2</translation>
    </message>
    <message>
        <source>画像処理(&amp;E)</source>
        <translation>Image &amp;processing</translation>
    </message>
    <message>
        <source>画像範囲(&amp;F)</source>
        <translation>&amp;Image range</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>全体表示(&amp;A)</source>
        <translation>&amp;Fit to window</translation>
    </message>
    <message>
        <source>1/2倍に縮小(&amp;D)</source>
        <translation>Zoom &amp;out 1/2</translation>
    </message>
    <message>
        <source>等倍(&amp;E)</source>
        <translation>&amp;Actual size</translation>
    </message>
    <message>
        <source>2倍に拡大(&amp;U)</source>
        <translation>Zoom &amp;in 2×</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>更新履歴(&amp;H)</source>
        <translation>Update &amp;history</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>エラー情報(&amp;E)</source>
        <translation>&amp;Error information</translation>
    </message>
    <message>
        <source>(㎜)</source>
        <translation>(mm)</translation>
    </message>
    <message>
        <source>設定1</source>
        <translation>Setting 1</translation>
    </message>
    <message>
        <source>設定2</source>
        <translation>Setting 2</translation>
    </message>
    <message>
        <source>設定3</source>
        <translation>Setting 3</translation>
    </message>
    <message>
        <source>設定２面同時</source>
        <translation>Settings 1+2</translation>
    </message>
    <message>
        <source>設定を切り換える</source>
        <translation>Switch the setting</translation>
    </message>
    <message>
        <source>ロック</source>
        <translation>Lock</translation>
    </message>
    <message>
        <source>ｸﾞﾙｰﾌﾟ</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>グループを指定</source>
        <translation>Choose the group</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>連続ﾓｰﾄﾞ</source>
        <translation>Continuous</translation>
    </message>
    <message>
        <source>多角形ﾓｰﾄﾞ</source>
        <translation>Polygon</translation>
    </message>
    <message>
        <source>元に戻す(&amp;Z)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>やり直し(&amp;Y)</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>計測結果の一覧(&amp;T)</source>
        <translation>&amp;Table of results</translation>
    </message>
    <message>
        <source>ルーペ(&amp;L)</source>
        <translation>&amp;Loupe</translation>
    </message>
    <message>
        <source>角に合わせる</source>
        <translation>Snap to corners</translation>
    </message>
    <message>
        <source>基準矩形の頂点を写真の角に合わせる</source>
        <translation>Snap the reference&apos;s corners to the photo&apos;s corners</translation>
    </message>
    <message>
        <source>検証距離(&amp;K)</source>
        <translation>Chec&amp;k distances</translation>
    </message>
    <message>
        <source>長さの分かっている距離で検証する(&amp;K)</source>
        <translation>Chec&amp;k with a known length</translation>
    </message>
    <message>
        <source>ＳＤファイル出力(&amp;D)</source>
        <translation>S&amp;D file</translation>
    </message>
    <message>
        <source>ＤＸＦファイル出力(&amp;G)</source>
        <translation>DXF dra&amp;wing</translation>
    </message>
    <message>
        <source>結果表の出力(&amp;T)</source>
        <translation>Results &amp;table</translation>
    </message>
    <message>
        <source>正対画像の出力(&amp;I)</source>
        <translation>Straight-on &amp;image</translation>
    </message>
    <message>
        <source>基準矩形を調整する(&amp;J)</source>
        <translation>Ad&amp;just the reference rectangle</translation>
    </message>
    <message>
        <source>設定1･2の基準矩形の交線(&amp;X)</source>
        <translation>&amp;Line where the references of settings 1 and 2 meet</translation>
    </message>
    <message>
        <source>基準矩形切り替え(&amp;T)</source>
        <translation>Switch the refere&amp;nce</translation>
    </message>
    <message>
        <source>計測基準ＷＨを調整する(&amp;A)</source>
        <translation>Adjust the measuring &amp;bases W and H</translation>
    </message>
    <message>
        <source>計測基準を調整する(&amp;N)</source>
        <translation>Adjus&amp;t the measurement base</translation>
    </message>
    <message>
        <source>２点間を調整する(&amp;J)</source>
        <translation>Ad&amp;just a distance</translation>
    </message>
    <message>
        <source>遠近補正する(&amp;P)</source>
        <translation>&amp;Perspective correction</translation>
    </message>
    <message>
        <source>遠近補正を解除する(&amp;C)</source>
        <translation>&amp;Remove the perspective correction</translation>
    </message>
    <message>
        <source>連続モードのON/OFF(&amp;M)</source>
        <translation>&amp;Continuous mode on/off</translation>
    </message>
    <message>
        <source>範囲を調整する(&amp;J)</source>
        <translation>Ad&amp;just an area</translation>
    </message>
    <message>
        <source>傾斜設定(&amp;I)</source>
        <translation>S&amp;lope</translation>
    </message>
    <message>
        <source>名称変更する(&amp;N)</source>
        <translation>Re&amp;name</translation>
    </message>
    <message>
        <source>多角形モードのON/OFF(&amp;M)</source>
        <translation>P&amp;olygon mode on/off</translation>
    </message>
    <message>
        <source>２点間距離の表示ON/OFF(&amp;1)</source>
        <translation>Show &amp;distances on/off</translation>
    </message>
    <message>
        <source>面積範囲の表示ON/OFF(&amp;2)</source>
        <translation>Show a&amp;reas on/off</translation>
    </message>
    <message>
        <source>基準の表示ON/OFF(&amp;3)</source>
        <translation>Show the refere&amp;nce on/off</translation>
    </message>
    <message>
        <source>計測値の表示ON/OFF(&amp;4)</source>
        <translation>Show &amp;values on/off</translation>
    </message>
    <message>
        <source>面積エリア名称の表示ON/OFF(&amp;5)</source>
        <translation>Show area na&amp;mes on/off</translation>
    </message>
    <message>
        <source>操作マニュアル(&amp;M)</source>
        <translation>Operating &amp;manual</translation>
    </message>
    <message>
        <source>マーカーシートの出力(&amp;M)</source>
        <translation>&amp;Marker sheet…</translation>
    </message>
    <message>
        <source>基準を自動検出(&amp;D)</source>
        <translation>Dete&amp;ct the reference</translation>
    </message>
    <message>
        <source>写真の情報(&amp;A)</source>
        <translation>Photo inform&amp;ation</translation>
    </message>
    <message>
        <source>カメラのレンズを測定(&amp;L)</source>
        <translation>Calibrate &amp;Lens</translation>
    </message>
    <message>
        <source>直線を指示してレンズを補正(&amp;I)</source>
        <translation>Straight &amp;Edges for the Lens</translation>
    </message>
    <message>
        <source>ジョブを開く(&amp;J)…</source>
        <translation>Open &amp;Job…</translation>
    </message>
    <message>
        <source>新規ジョブ(&amp;B)…</source>
        <translation>New Jo&amp;b…</translation>
    </message>
</context>
<context>
    <name>WindowCommands</name>
    <message>
        <source>現在設定されている基準矩形、基準矩形の交線、計測基準、距離、面積を消去します。よろしいですか？</source>
        <translation>This erases the reference rectangle, the line where the references meet, the measurement base, the distances and the areas. Continue?</translation>
    </message>
    <message>
        <source>基準矩形を再設定すると基準矩形の交線、計測基準、距離、面積の設定は消去されます.<byte value="xd"/>よろしいですか？</source>
        <translation>Setting the reference rectangle again erases the line where the references meet, the measurement base, the distances and the areas.<byte value="xd"/>Continue?</translation>
    </message>
    <message>
        <source>現在設定されている２点間の距離をすべて消去します。よろしいですか？</source>
        <translation>This erases every distance. Continue?</translation>
    </message>
    <message>
        <source>現在設定されている面積範囲をすべて消去します。よろしいですか？</source>
        <translation>This erases every area. Continue?</translation>
    </message>
    <message>
        <source>現在設定されている検証距離をすべて消去します。よろしいですか？</source>
        <translation>All check distances of this setting will be deleted. Continue?</translation>
    </message>
</context>
<context>
    <name>WindowDetect</name>
    <message>
        <source>マーカー (%1, 一辺 %2 mm) を見つけました. Return で確定, クリックで取り消し</source>
        <translation>Found a marker (%1, side %2 mm). Return to accept, click to reject</translation>
    </message>
    <message>
        <source>A4 用紙を見つけました (%1 × %2 mm). Return で確定, クリックで取り消し</source>
        <translation>Found an A4 sheet (%1 × %2 mm). Return to accept, click to reject</translation>
    </message>
    <message>
        <source>A3 用紙を見つけました (%1 × %2 mm). Return で確定, クリックで取り消し</source>
        <translation>Found an A3 sheet (%1 × %2 mm). Return to accept, click to reject</translation>
    </message>
    <message>
        <source>レター用紙を見つけました (%1 × %2 mm). Return で確定, クリックで取り消し</source>
        <translation>Found a Letter sheet (%1 × %2 mm). Return to accept, click to reject</translation>
    </message>
    <message>
        <source>カード (ID-1) を見つけました (%1 × %2 mm). Return で確定, クリックで取り消し</source>
        <translation>Found an ID-1 card (%1 × %2 mm). Return to accept, click to reject</translation>
    </message>
    <message>
        <source>基準になるマーカーや用紙が見つかりません. 基準矩形の４隅をクリックしてください</source>
        <translation>No marker or sheet to take as the reference was found. Click the four corners of the reference rectangle</translation>
    </message>
    <message>
        <source> (候補 %1/%2, Tab で次)</source>
        <translation> (candidate %1 of %2, Tab for the next)</translation>
    </message>
    <message>
        <source>マーカーシートの出力</source>
        <translation>Marker sheet</translation>
    </message>
    <message>
        <source>マーカー</source>
        <translation>marker</translation>
    </message>
    <message>
        <source>ArUco 4x4 マーカー 0 (一辺 %1 mm)</source>
        <translation>ArUco 4x4 marker 0 (side %1 mm)</translation>
    </message>
    <message>
        <source>この定規が 100 mm であることを確かめてください</source>
        <translation>Check that this ruler measures 100 mm</translation>
    </message>
    <message>
        <source>&apos;%1&apos; に書き込めません: %2</source>
        <translation>Cannot write &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>写真を開くと基準を自動検出できます</source>
        <translation>Open a photo to detect the reference</translation>
    </message>
    <message>
        <source>設定4では基準を自動検出できません: 2つの面の基準は角の線をはさむ６点で決まります</source>
        <translation>The reference cannot be detected in setting 4: the two planes’ references come from the six points about their corner line</translation>
    </message>
    <message>
        <source> A3 と同じ縦横比です: A3 なら Tab</source>
        <translation> A3 has the same proportions: Tab if it is A3</translation>
    </message>
    <message>
        <source> A4 と同じ縦横比です: A4 なら Tab</source>
        <translation> A4 has the same proportions: Tab if it is A4</translation>
    </message>
</context>
<context>
    <name>WindowJob</name>
    <message>
        <source>このジョブは別のウィンドウで開かれています. 同じジョブを二つのウィンドウで開くことはできません:</source>
        <translation>This job is open in another window. One job cannot be open in two windows:</translation>
    </message>
    <message>
        <source>ジョブの鍵ファイルを作れません. ジョブのフォルダに書き込めるか確かめてください:</source>
        <translation>Cannot make the job&apos;s lock file. Check that the job&apos;s folder can be written:</translation>
    </message>
    <message>
        <source>G%1: %2㎜, %3㎡, %4</source>
        <translation>G%1: %2 mm, %3 m², %4</translation>
    </message>
    <message>
        <source>ｸﾞﾙｰﾌﾟ%1: 距離 %2㎜, 面積 %3㎡, 金額 %4</source>
        <translation>Group %1: length %2 mm, area %3 m², cost %4</translation>
    </message>
    <message>
        <source>このファイルは既にあります. 新規ジョブは別の名前で作ってください:</source>
        <translation>This file already exists. Make the new job under another name:</translation>
    </message>
    <message>
        <source>同じ名前の別の写真に置き換えられています. 元の写真の計測データはジョブに残っています.</source>
        <translation>Another photo has replaced it under the same name. The original photo&apos;s measurements stay in the job.</translation>
    </message>
    <message>
        <source>写真がジョブのフォルダにありません.</source>
        <translation>The photo is not in the job&apos;s folder.</translation>
    </message>
    <message>
        <source>ジョブの写真のうち開けないものがあります:</source>
        <translation>Some of the job&apos;s photos cannot be opened:</translation>
    </message>
    <message>
        <source>ジョブに加えられなかった写真があります:</source>
        <translation>Some photos could not be added to the job:</translation>
    </message>
    <message>
        <source>写真の題名</source>
        <translation>Photo Title</translation>
    </message>
    <message>
        <source>この写真の題名を入力してください.</source>
        <translation>Enter the photo&apos;s title.</translation>
    </message>
    <message>
        <source>この写真をジョブから外しますか? 写真のファイルと計測データは残ります.</source>
        <translation>Remove this photo from the job? The photo&apos;s file and its measurements stay.</translation>
    </message>
    <message>
        <source>ジョブの合計</source>
        <translation>Job totals</translation>
    </message>
    <message>
        <source>(写真を読み込み中…)</source>
        <translation>(reading the photos…)</translation>
    </message>
    <message>
        <source>一時フォルダを作れません.</source>
        <translation>Cannot make a temporary folder.</translation>
    </message>
</context>
<context>
    <name>WindowLens</name>
    <message>
        <source>レンズ補正(&amp;O)</source>
        <translation>Lens correction t&amp;ype</translation>
    </message>
    <message>
        <source>レンズの歪みを補正して表示(&amp;S)</source>
        <translation>Show &amp;Straightened</translation>
    </message>
    <message>
        <source>自動（カメラに合うプロファイル）(&amp;A)</source>
        <translation>&amp;Automatic (the profile for the camera)</translation>
    </message>
    <message>
        <source>写真の直線(&amp;E)</source>
        <translation>The Photo&apos;s Straight &amp;Edges</translation>
    </message>
    <message>
        <source>なし(&amp;N)</source>
        <translation>&amp;None</translation>
    </message>
    <message>
        <source>写真を補正して表示するメモリが足りません.</source>
        <translation>There is not enough memory to show the photo straightened.</translation>
    </message>
</context>
<context>
    <name>WindowOutput</name>
    <message>
        <source>画像範囲出力</source>
        <translation>Save the image range</translation>
    </message>
    <message>
        <source>&apos;%1&apos; を書き込めませんでした.</source>
        <translation>&apos;%1&apos; could not be written.</translation>
    </message>
    <message>
        <source>PDF出力</source>
        <translation>PDF report</translation>
    </message>
    <message>
        <source>[ %1 ]が見つかりません.</source>
        <translation>[ %1 ] cannot be found.</translation>
    </message>
    <message>
        <source>ＰＤＦファイル出力完了.<byte value="xd"/>%1</source>
        <translation>The PDF report is written.<byte value="xd"/>%1</translation>
    </message>
    <message>
        <source>CSV出力</source>
        <translation>CSV file</translation>
    </message>
    <message>
        <source>&apos;%1&apos; に書き込めませんでした.</source>
        <translation>&apos;%1&apos; could not be written to.</translation>
    </message>
    <message>
        <source>SD用出力</source>
        <translation>SD file</translation>
    </message>
    <message>
        <source>操作マニュアル.pdf</source>
        <translation>Operating manual.pdf</translation>
    </message>
    <message>
        <source>&apos;%1&apos; が見つかりません.</source>
        <translation>&apos;%1&apos; cannot be found.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; を開くアプリケーションが見つかりません.
マニュアルの場所: %2</source>
        <translation>No application to open &apos;%1&apos; was found.
The manual is at: %2</translation>
    </message>
    <message>
        <source>ＤＸＦ出力</source>
        <translation>DXF drawing</translation>
    </message>
    <message>
        <source>正対画像の出力</source>
        <translation>Straight-on image</translation>
    </message>
    <message>
        <source>１画素あたりのミリメートル</source>
        <translation>Millimetres per pixel</translation>
    </message>
    <message>
        <source>基準、距離、面積も描き入れますか？</source>
        <translation>Draw the reference, the distances and the areas over it?</translation>
    </message>
    <message>
        <source>結果表の出力</source>
        <translation>Results file</translation>
    </message>
</context>
<context>
    <name>WindowPhoto</name>
    <message>
        <source>保存せずに続けると、この画像の計測データ（基準矩形・距離・面積）は失われます.<byte value="xd"/>保存せずに続けますか？</source>
        <translation>If you go on without saving, this photo&apos;s measurements (reference, distances, areas) are lost.<byte value="xd"/>Go on without saving?</translation>
    </message>
    <message>
        <source>現在表示中の画像に対する基準等の設定が変更されています.<byte value="xd"/>現在の設定を保存しますか？</source>
        <translation>The reference and measurements of the photo shown have changed.<byte value="xd"/>Save them?</translation>
    </message>
    <message>
        <source>&apos;%1&apos; を読み込めませんでした.</source>
        <translation>&apos;%1&apos; could not be read.</translation>
    </message>
    <message>
        <source>スキャナから読み込んでいます.</source>
        <translation>Scanning.</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>スキャナ読込</source>
        <translation>Scan</translation>
    </message>
    <message>
        <source>画像の取込ができませんでした.</source>
        <translation>The picture could not be scanned.</translation>
    </message>
    <message>
        <source>スキャンデータを破棄しました.</source>
        <translation>The scanned picture was discarded.</translation>
    </message>
    <message>
        <source>スキャナ読込データ保存</source>
        <translation>Save the scanned picture</translation>
    </message>
    <message>
        <source>&apos;%1&apos; を書き込めませんでした.</source>
        <translation>&apos;%1&apos; could not be written.</translation>
    </message>
</context>
<context>
    <name>WindowSession</name>
    <message>
        <source>&apos;%1&apos; に書き込めないため, &apos;%2&apos; を使います.</source>
        <translation>&apos;%1&apos; cannot be written to, so &apos;%2&apos; is used.</translation>
    </message>
    <message>
        <source>作業フォルダ &apos;%1&apos; は別の Kalvex が使用中です.<byte value="xd"/>このウィンドウは専用の作業フォルダで作業し, 画像ごとの設定だけを &apos;%1&apos; に保存します.</source>
        <translation>The working folder &apos;%1&apos; is in use by another Kalvex.<byte value="xd"/>This window works in a folder of its own and saves only each photo&apos;s own settings in &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>作業フォルダ &apos;%1&apos; に書き込めません.<byte value="xd"/>前の画像の設定は読み込まず, 専用の作業フォルダで作業します.</source>
        <translation>The working folder &apos;%1&apos; cannot be written to.<byte value="xd"/>The previous photo&apos;s settings are not loaded; this window works in a folder of its own.</translation>
    </message>
    <message>
        <source>専用の作業フォルダを作れません. 設定は保存されません.</source>
        <translation>No working folder of its own can be made. Settings are not saved.</translation>
    </message>
    <message>
        <source>作業ファイルを保存できませんでした.<byte value="xd"/>異常終了したときは, この画像の最近の測定を戻せません.</source>
        <translation>The working files could not be saved.<byte value="xd"/>Should the program end abnormally, this photo&apos;s latest measurements cannot be brought back.</translation>
    </message>
    <message>
        <source>この画像の設定は, 開いた後に別の Kalvex で保存されています.<byte value="xd"/>上書きしますか？</source>
        <translation>This photo&apos;s settings were saved by another Kalvex after it was opened here.<byte value="xd"/>Replace them?</translation>
    </message>
    <message>
        <source>画像ごとの設定情報を保存できませんでした.</source>
        <translation>The photo&apos;s own settings could not be saved.</translation>
    </message>
    <message>
        <source>作業フォルダ &apos;%1&apos; のロックは, 終了した Kalvex が残したもの, または壊れたものだったため, 引き継ぎました.</source>
        <translation>The lock of the working folder &apos;%1&apos; was left by a Kalvex that has ended, or was damaged; it has been taken over.</translation>
    </message>
    <message>
        <source>この画像の設定は &apos;%1&apos; に残してあります.<byte value="xd"/>次の起動時に戻すことができます.</source>
        <translation>The settings of this photo are kept in &apos;%1&apos;.<byte value="xd"/>The next start can bring them back.</translation>
    </message>
    <message>
        <source>前回は次の写真の測定を保存しないまま終了しました.<byte value="xd"/>%1<byte value="xd"/>保存されていなかった測定を戻しますか？</source>
        <translation>Last time the measurements of this photo were not saved before the program ended:<byte value="xd"/>%1<byte value="xd"/>Bring back the measurements that were not saved?</translation>
    </message>
    <message>
        <source>次の写真を読み込めないため, 保存されていなかった測定を戻せませんでした.<byte value="xd"/>%1<byte value="xd"/>測定は残してあり, この写真を開いたときか次の起動時に戻せます.</source>
        <translation>The following photo cannot be read, so the measurements that were not saved could not be brought back:<byte value="xd"/>%1<byte value="xd"/>They are kept and can be brought back when you open this photo or at the next start.</translation>
    </message>
    <message>
        <source>次の写真は前回から変わっているため, 保存されていなかった測定を戻せませんでした.<byte value="xd"/>%1<byte value="xd"/>測定は残してあり, 次の起動時にもう一度尋ねます.</source>
        <translation>The following photo has changed since last time, so the measurements that were not saved could not be brought back:<byte value="xd"/>%1<byte value="xd"/>They are kept; you will be asked again at the next start.</translation>
    </message>
</context>
<context>
    <name>WindowView</name>
    <message>
        <source>検証距離</source>
        <translation>Check distance</translation>
    </message>
</context>
<context>
    <name>WorkFiles</name>
    <message>
        <source>設定情報を作業ファイルに保存できませんでした.</source>
        <translation>The settings could not be saved in the working files.</translation>
    </message>
    <message>
        <source>設定を切り換えることができません.</source>
        <translation>The setting cannot be switched.</translation>
    </message>
    <message>
        <source>現在表示中の画像に対する基準等の設定が変更されています.<byte value="xd"/>現在の設定を保存しますか？</source>
        <translation>The reference and measurements of the photo shown have changed.<byte value="xd"/>Save them?</translation>
    </message>
    <message>
        <source>画像ごとの設定情報を保存できませんでした.</source>
        <translation>The photo&apos;s own settings could not be saved.</translation>
    </message>
    <message>
        <source>作業ファイルを読み込めませんでした: </source>
        <translation>The working file could not be read: </translation>
    </message>
    <message>
        <source>検証距離のファイルが壊れています.</source>
        <translation>The check distance file is damaged.</translation>
    </message>
    <message>
        <source>この写真に保存されている設定を写真の向きに合わせられませんでした. 点が写真の上の正しい位置にない場合があります.</source>
        <translation>The measurements kept for this photo could not be turned to the photo&apos;s orientation. Their points may not sit where they were clicked.</translation>
    </message>
    <message>
        <source>基準の用紙の寸法公差のファイルが壊れています.</source>
        <translation>The file of the reference sheet’s size tolerance is damaged.</translation>
    </message>
</context>
</TS>
