<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>Analyzer</name>
    <message>
        <source>Analyzer</source>
        <translation>解析</translation>
    </message>
    <message>
        <source>LCF / MLCF Analysis</source>
        <translation>LCF / MLCF 解析</translation>
    </message>
    <message>
        <source>Residual Absorption Analysis</source>
        <translation>残差吸収解析</translation>
    </message>
    <message>
        <source>Element Analysis</source>
        <translation>元素解析</translation>
    </message>
    <message>
        <source>Sum Up</source>
        <translation>積算</translation>
    </message>
    <message>
        <source>Process Maps</source>
        <translation>マップ処理</translation>
    </message>
    <message>
        <source>LCF / MLCF</source>
        <translation>LCF / MLCF</translation>
    </message>
    <message>
        <source>Analyze</source>
        <translation>解析実行</translation>
    </message>
    <message>
        <source>LCF as Old</source>
        <translation>旧 LCF</translation>
    </message>
    <message>
        <source>MLCF</source>
        <translation>MLCF</translation>
    </message>
    <message>
        <source>Fitting Range: </source>
        <translation>フィッティング範囲: </translation>
    </message>
    <message>
        <source>[eV]</source>
        <translation>[eV]</translation>
    </message>
    <message>
        <source>Disp. on Time</source>
        <translation>随時表示</translation>
    </message>
    <message>
        <source>Residual</source>
        <translation>残差</translation>
    </message>
    <message>
        <source>Show View</source>
        <translation>ビュー表示</translation>
    </message>
    <message>
        <source>DMut</source>
        <translation>DMut</translation>
    </message>
    <message>
        <source>Ratio</source>
        <translation>比率</translation>
    </message>
    <message>
        <source>Fixed Scale</source>
        <translation>固定スケール</translation>
    </message>
    <message>
        <source>Reference Spectra</source>
        <translation>参照スペクトル</translation>
    </message>
    <message>
        <source>Add Ref</source>
        <translation>参照追加</translation>
    </message>
    <message>
        <source>Residual Absorption</source>
        <translation>残差吸収</translation>
    </message>
    <message>
        <source>Res = mut(</source>
        <translation>Res = mut(</translation>
    </message>
    <message>
        <source> [eV])- dmut x</source>
        <translation> [eV])- dmut x</translation>
    </message>
    <message>
        <source>Show dmut</source>
        <translation>dmut 表示</translation>
    </message>
    <message>
        <source>Show the Rest</source>
        <translation>残り表示</translation>
    </message>
    <message>
        <source>Show Ratio</source>
        <translation>比率表示</translation>
    </message>
    <message>
        <source>Analyzing Spectrum</source>
        <translation>解析中のスペクトル</translation>
    </message>
</context>
<context>
    <name>BatchCtrl</name>
    <message>
        <source>Batch</source>
        <translation>バッチ処理</translation>
    </message>
    <message>
        <source>Batch Cmds</source>
        <translation>バッチコマンド</translation>
    </message>
    <message>
        <source>Progress Log</source>
        <translation>進行ログ</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>読込</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Clear Log</source>
        <translation>ログ消去</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>消去</translation>
    </message>
    <message>
        <source>Exec.</source>
        <translation>実行</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Batch File (*.bat)</source>
        <translation>バッチファイル (*.bat)</translation>
    </message>
    <message>
        <source>Any Files (* *.*)</source>
        <translation>すべてのファイル (* *.*)</translation>
    </message>
</context>
<context>
    <name>Body</name>
    <message>
        <source>I1 (sample)</source>
        <translation>I1（試料）</translation>
    </message>
    <message>
        <source>I0 (incident beam)</source>
        <translation>I0（入射光）</translation>
    </message>
    <message>
        <source>No image</source>
        <translation>画像なし</translation>
    </message>
    <message>
        <source>Dark check stopped</source>
        <translation>ダークチェックを中止しました</translation>
    </message>
    <message>
        <source>%1 dark points in all images</source>
        <translation>全画像でダーク点 %1 個</translation>
    </message>
    <message>
        <source>Dark check running</source>
        <translation>ダークチェック実行中</translation>
    </message>
    <message>
        <source>XAFS Spectra (*.dat)</source>
        <translation>XAFS スペクトル (*.dat)</translation>
    </message>
    <message>
        <source>Tiff File (*.tif)</source>
        <translation>Tiff ファイル (*.tif)</translation>
    </message>
    <message>
        <source>Data File (*.dat)</source>
        <translation>データファイル (*.dat)</translation>
    </message>
    <message>
        <source>Lumenstack</source>
        <translation>Lumenstack</translation>
    </message>
    <message>
        <source>Batch</source>
        <translation>バッチ</translation>
    </message>
    <message>
        <source>Set All</source>
        <translation>全て設定</translation>
    </message>
    <message>
        <source>Prev</source>
        <translation>前へ</translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next</source>
        <translation>次へ</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>拡大</translation>
    </message>
    <message>
        <source>Reset Scale</source>
        <translation>倍率リセット</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>データ</translation>
    </message>
    <message>
        <source>I0</source>
        <translation>I0</translation>
    </message>
    <message>
        <source>E-Shift Map</source>
        <translation>エネルギーシフトマップ</translation>
    </message>
    <message>
        <source>Res. Analysis</source>
        <translation>結果解析</translation>
    </message>
    <message>
        <source>Position:</source>
        <translation>位置:</translation>
    </message>
    <message>
        <source>(   0,    0)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Value:</source>
        <translation>値:</translation>
    </message>
    <message>
        <source>Dark:</source>
        <translation>ダーク:</translation>
    </message>
    <message>
        <source>Area:</source>
        <translation>領域:</translation>
    </message>
    <message>
        <source>(   0,    0)-(   0,    0)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>dE on Map:</source>
        <translation>マップ上の dE:</translation>
    </message>
    <message>
        <source>0.000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>dE from Std.:</source>
        <translation>標準からの dE:</translation>
    </message>
    <message>
        <source>0.00</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fluo. Type</source>
        <translation>蛍光法</translation>
    </message>
    <message>
        <source>Use I0</source>
        <translation>I0 を使用</translation>
    </message>
    <message>
        <source>Select Dark</source>
        <translation>ダーク選択</translation>
    </message>
    <message>
        <source>Clear Dark</source>
        <translation>ダーク消去</translation>
    </message>
    <message>
        <source>100</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[ms]</source>
        <translation>[ms]</translation>
    </message>
    <message>
        <source>Bin half W</source>
        <translation>ビン半幅 W</translation>
    </message>
    <message>
        <source>1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>H</source>
        <translation>H</translation>
    </message>
    <message>
        <source>Select BG</source>
        <translation>BG 選択</translation>
    </message>
    <message>
        <source>Show BG</source>
        <translation>BG 表示</translation>
    </message>
    <message>
        <source>Suggest</source>
        <translation>元素推定</translation>
    </message>
    <message>
        <source>Cu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>K</source>
        <translation>K</translation>
    </message>
    <message>
        <source>L1</source>
        <translation>L1</translation>
    </message>
    <message>
        <source>L2</source>
        <translation>L2</translation>
    </message>
    <message>
        <source>L3</source>
        <translation>L3</translation>
    </message>
    <message>
        <source>8979</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[eV]</source>
        <translation>[eV]</translation>
    </message>
    <message>
        <source>Pre end</source>
        <translation>プレエッジ終点</translation>
    </message>
    <message>
        <source>-20</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Post start</source>
        <translation>ポストエッジ始点</translation>
    </message>
    <message>
        <source>20</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Jump th.</source>
        <translation>ジャンプ閾値</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>較正</translation>
    </message>
    <message>
        <source>Spectrum View</source>
        <translation>スペクトル表示</translation>
    </message>
    <message>
        <source>Image Proc.</source>
        <translation>画像処理</translation>
    </message>
    <message>
        <source>Analyzer</source>
        <translation>解析</translation>
    </message>
    <message>
        <source>Analyzer 2</source>
        <translation>解析 2</translation>
    </message>
    <message>
        <source>Chk Vals</source>
        <translation>値確認</translation>
    </message>
    <message>
        <source>Fourier</source>
        <translation>フーリエ</translation>
    </message>
    <message>
        <source>Normalize E-Shift</source>
        <translation>E シフト規格化</translation>
    </message>
    <message>
        <source>Save Image</source>
        <translation>画像保存</translation>
    </message>
    <message>
        <source>Save Data</source>
        <translation>データ保存</translation>
    </message>
    <message>
        <source>Save Data Cfg.</source>
        <translation>データ設定保存</translation>
    </message>
    <message>
        <source>Save Flat/Dark</source>
        <translation>フラット/ダーク保存</translation>
    </message>
    <message>
        <source>Save Each Spectrum</source>
        <translation>各スペクトル保存</translation>
    </message>
    <message>
        <source>Raw</source>
        <translation>生データ</translation>
    </message>
    <message>
        <source>Raw XAFS</source>
        <translation>生 XAFS</translation>
    </message>
    <message>
        <source>Normalized XAFS</source>
        <translation>規格化 XAFS</translation>
    </message>
    <message>
        <source>DeGlitch</source>
        <translation>グリッチ除去</translation>
    </message>
    <message>
        <source>3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0.5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Proc. Img</source>
        <translation>処理画像</translation>
    </message>
    <message>
        <source>BG File</source>
        <translation>BG ファイル</translation>
    </message>
    <message>
        <source>BG Specturm</source>
        <translation>BG スペクトル</translation>
    </message>
    <message>
        <source>I1 Data</source>
        <translation>I1 データ</translation>
    </message>
    <message>
        <source>I0 Data</source>
        <translation>I0 データ</translation>
    </message>
    <message>
        <source>Spectrum at the position</source>
        <translation>指定位置のスペクトル</translation>
    </message>
    <message>
        <source>Total I0 of I1</source>
        <translation>I1 の全 I0</translation>
    </message>
    <message>
        <source>Total I0 of I0</source>
        <translation>I0 の全 I0</translation>
    </message>
    <message>
        <source>Image File (*.png)</source>
        <translation>画像ファイル (*.png)</translation>
    </message>
    <message>
        <source>Any Files (* *.*)</source>
        <translation>すべてのファイル (* *.*)</translation>
    </message>
    <message>
        <source>an alignment is running</source>
        <translation>位置合わせを実行中です</translation>
    </message>
    <message>
        <source>a map run is going on</source>
        <translation>マップ解析を実行中です</translation>
    </message>
    <message>
        <source>a calibration is running</source>
        <translation>較正を実行中です</translation>
    </message>
    <message>
        <source>a dark check is running</source>
        <translation>ダークチェックを実行中です</translation>
    </message>
    <message>
        <source>Calibration not started: %1</source>
        <translation>較正を開始しません: %1</translation>
    </message>
</context>
<context>
    <name>EOFSetup</name>
    <message>
        <source>XAFS Data File (*.dat)</source>
        <translation>XAFS データファイル (*.dat)</translation>
    </message>
    <message>
        <source>Any Files (* *.*)</source>
        <translation>すべてのファイル (* *.*)</translation>
    </message>
</context>
<context>
    <name>EngOfFilesSetup</name>
    <message>
        <source>Energy of Files Setup</source>
        <translation>ファイルのエネルギー設定</translation>
    </message>
    <message>
        <source>Energy Cal. from File Name</source>
        <translation>ファイル名からエネルギー算出</translation>
    </message>
    <message>
        <source>Pattern</source>
        <translation>パターン</translation>
    </message>
    <message>
        <source>Factor</source>
        <translation>係数</translation>
    </message>
    <message>
        <source>1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energy Cal. from File No.</source>
        <translation>ファイル番号からエネルギー算出</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>単位</translation>
    </message>
    <message>
        <source>eV</source>
        <translation>eV</translation>
    </message>
    <message>
        <source>keV</source>
        <translation>keV</translation>
    </message>
    <message>
        <source>deg</source>
        <translation>deg</translation>
    </message>
    <message>
        <source>Even in</source>
        <translation>等間隔</translation>
    </message>
    <message>
        <source>Energy</source>
        <translation>エネルギー</translation>
    </message>
    <message>
        <source>Angle</source>
        <translation>角度</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>8000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delta</source>
        <translation>刻み</translation>
    </message>
    <message>
        <source>End</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>9000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Num. of Steps</source>
        <translation>ステップ数</translation>
    </message>
    <message>
        <source>1000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Energy Cal. from Ref. File</source>
        <translation>参照ファイルからエネルギー算出</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>選択</translation>
    </message>
</context>
<context>
    <name>LCFReference</name>
    <message>
        <source>LCF Reference</source>
        <translation>LCF 参照</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>表示</translation>
    </message>
    <message>
        <source>  dE [eV]</source>
        <translation>  dE [eV]</translation>
    </message>
    <message>
        <source>Victoreen</source>
        <translation>Victoreen</translation>
    </message>
    <message>
        <source>[%]  </source>
        <translation>[%]  </translation>
    </message>
    <message>
        <source>dMut</source>
        <translation>dMut</translation>
    </message>
    <message>
        <source>at</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>[eV]  </source>
        <translation>[eV]  </translation>
    </message>
    <message>
        <source>Select Ref%1</source>
        <translation>参照%1 選択</translation>
    </message>
</context>
<context>
    <name>SaveDataCfg</name>
    <message>
        <source>Save Data Configuration</source>
        <translation>データ保存設定</translation>
    </message>
    <message>
        <source>Save as Tiff</source>
        <translation>Tiff で保存</translation>
    </message>
    <message>
        <source>Fixed Scale</source>
        <translation>固定スケール</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>最小</translation>
    </message>
    <message>
        <source>  Max</source>
        <translation>  最大</translation>
    </message>
    <message>
        <source>Save as Analyzed Area Size and Resolution</source>
        <translation>解析領域のサイズと分解能で保存</translation>
    </message>
    <message>
        <source>Save as Text data</source>
        <translation>テキストデータで保存</translation>
    </message>
    <message>
        <source>Comma Separated</source>
        <translation>カンマ区切り</translation>
    </message>
    <message>
        <source>Space Separated</source>
        <translation>スペース区切り</translation>
    </message>
    <message>
        <source>X Y Val : 1point/1line</source>
        <translation>X Y Val : 1 点 / 1 行</translation>
    </message>
    <message>
        <source>Val1 Val2 Val3... : each Y line</source>
        <translation>Val1 Val2 Val3... : Y 行ごと</translation>
    </message>
</context>
<context>
    <name>SelectDataFiles</name>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data Select</source>
        <translation>データ選択</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>消去</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新規</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>追加</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>スキップ</translation>
    </message>
    <message>
        <source>1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cut F.</source>
        <translation>先頭削除</translation>
    </message>
    <message>
        <source>Cut L.</source>
        <translation>末尾削除</translation>
    </message>
    <message>
        <source>The exporsure eime is used when the time is not recorded in image file.</source>
        <translation>画像ファイルに露光時間が記録されていない場合、この露光時間を使用します。</translation>
    </message>
    <message>
        <source>100</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[ms]</source>
        <translation>[ms]</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Add. Setup</source>
        <translation>追加設定</translation>
    </message>
</context>
<context>
    <name>SelectDataFilesAdditionalSetup</name>
    <message>
        <source>Select Data Files Additional Setup</source>
        <translation>データファイル選択の追加設定</translation>
    </message>
    <message>
        <source>Set Dark Area</source>
        <translation>ダーク領域設定</translation>
    </message>
    <message>
        <source>Clear Dark Area</source>
        <translation>ダーク領域消去</translation>
    </message>
    <message>
        <source>Dark Area:</source>
        <translation>ダーク領域:</translation>
    </message>
    <message>
        <source>(-,-)-(-,-)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Latest Image on Load</source>
        <translation>読込時に最新画像を表示</translation>
    </message>
    <message>
        <source>Ignore  &apos;Live&apos; file</source>
        <translation>&apos;Live&apos; ファイルを無視</translation>
    </message>
    <message>
        <source>Select Err. Ps. Def.</source>
        <translation>エラー点定義を選択</translation>
    </message>
    <message>
        <source>Use Err Points Mask</source>
        <translation>エラー点マスクを使用</translation>
    </message>
    <message>
        <source>HDF5 Stack Layout:</source>
        <translation>HDF5 スタックのレイアウト:</translation>
    </message>
    <message>
        <source>How an HDF5 stack file is read: its image, energy, flat and dark datasets</source>
        <translation>HDF5 スタックファイルの読み方: 画像、エネルギー、フラット、ダークのデータセット</translation>
    </message>
    <message>
        <source>Layout File...</source>
        <translation>レイアウトファイル...</translation>
    </message>
    <message>
        <source>Stack Layouts (*.ini)</source>
        <translation>スタックレイアウト (*.ini)</translation>
    </message>
    <message>
        <source>Any Files (* *.*)</source>
        <translation>すべてのファイル (* *.*)</translation>
    </message>
</context>
<context>
    <name>SelectImgDialog</name>
    <message>
        <source>PRXM Files, IMG Files, Tiff Files (*.dat *.img *.tif *.tiff)</source>
        <translation>PRXM ファイル、IMG ファイル、TIFF ファイル (*.dat *.img *.tif *.tiff)</translation>
    </message>
    <message>
        <source>HDF5 Stacks (*.h5 *.hdf5 *.hdf *.nxs)</source>
        <translation>HDF5 スタック (*.h5 *.hdf5 *.hdf *.nxs)</translation>
    </message>
    <message>
        <source>Any Files (* *.*)</source>
        <translation>すべてのファイル (* *.*)</translation>
    </message>
</context>
<context>
    <name>SpectrumView</name>
    <message>
        <source>Energy (eV)</source>
        <translation>エネルギー (eV)</translation>
    </message>
    <message>
        <source>mu*t</source>
        <translation>mu*t</translation>
    </message>
    <message>
        <source>normalised mu*t</source>
        <translation>規格化 mu*t</translation>
    </message>
    <message>
        <source>Point number</source>
        <translation>点番号</translation>
    </message>
    <message>
        <source>I1 (counts)</source>
        <translation>I1（カウント）</translation>
    </message>
    <message>
        <source>Frequency index</source>
        <translation>周波数番号</translation>
    </message>
    <message>
        <source>FFT magnitude</source>
        <translation>FFT 振幅</translation>
    </message>
    <message>
        <source>spectrum %1</source>
        <translation>スペクトル %1</translation>
    </message>
    <message>
        <source>FFT of the I1 sum</source>
        <translation>I1 和の FFT</translation>
    </message>
    <message>
        <source>I1 sum of the bin</source>
        <translation>ビンの I1 和</translation>
    </message>
    <message>
        <source>measured</source>
        <translation>測定</translation>
    </message>
    <message>
        <source>standard</source>
        <translation>標準</translation>
    </message>
    <message>
        <source>standard background</source>
        <translation>標準のバックグラウンド</translation>
    </message>
    <message>
        <source>pre-edge line</source>
        <translation>吸収端前の直線</translation>
    </message>
    <message>
        <source>post-edge line</source>
        <translation>吸収端後の直線</translation>
    </message>
    <message>
        <source>pre-edge fit window</source>
        <translation>吸収端前のフィット範囲</translation>
    </message>
    <message>
        <source>post-edge fit window</source>
        <translation>吸収端後のフィット範囲</translation>
    </message>
    <message>
        <source>edge</source>
        <translation>吸収端</translation>
    </message>
    <message>
        <source>image energy</source>
        <translation>画像のエネルギー</translation>
    </message>
    <message>
        <source>XAFS</source>
        <translation>XAFS</translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Normalized</source>
        <translation>規格化</translation>
    </message>
    <message>
        <source>E. Correct</source>
        <translation>E 補正</translation>
    </message>
    <message>
        <source>Raw</source>
        <translation>生データ</translation>
    </message>
    <message>
        <source>FFT</source>
        <translation>FFT</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Reset X Axis Scale</source>
        <translation>X 軸スケールをリセット</translation>
    </message>
    <message>
        <source>S.R.</source>
        <translation>リセット</translation>
    </message>
    <message>
        <source>TextLabel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save Spectra</source>
        <translation>スペクトル保存</translation>
    </message>
    <message>
        <source>Data File (*.dat)</source>
        <translation>データファイル (*.dat)</translation>
    </message>
    <message>
        <source>Any Files (* *.*)</source>
        <translation>すべてのファイル (* *.*)</translation>
    </message>
</context>
<context>
    <name>XafsFileSelect</name>
    <message>
        <source>XAFS File Select</source>
        <translation>XAFS ファイル選択</translation>
    </message>
    <message>
        <source>Use</source>
        <translation>使用</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>選択</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>消去</translation>
    </message>
    <message>
        <source>XAFS Data File (*.dat)</source>
        <translation>XAFS データファイル (*.dat)</translation>
    </message>
    <message>
        <source>Any Files (* *.*)</source>
        <translation>すべてのファイル (* *.*)</translation>
    </message>
</context>
<context>
    <name>ImgProc</name>
    <message>
        <source>Image Processor</source>
        <translation>画像処理</translation>
    </message>
    <message>
        <source>Edge Detect</source>
        <translation>エッジ検出</translation>
    </message>
    <message>
        <source>Binary</source>
        <translation>二値化</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>最大</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>最小</translation>
    </message>
    <message>
        <source>Th.</source>
        <translation>閾値</translation>
    </message>
    <message>
        <source>Set Ref.</source>
        <translation>参照に設定</translation>
    </message>
    <message>
        <source>Comp.</source>
        <translation>比較</translation>
    </message>
    <message>
        <source>Shift X:</source>
        <translation>シフト X:</translation>
    </message>
    <message>
        <source>Y:</source>
        <translation>Y:</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>上</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>下</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>左</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>右</translation>
    </message>
    <message>
        <source>S.P.</source>
        <translation>内積</translation>
    </message>
    <message>
        <source>Auto Shift</source>
        <translation>自動シフト</translation>
    </message>
    <message>
        <source>A. A. Shift</source>
        <translation>常時自動シフト</translation>
    </message>
    <message>
        <source>A. Set Shift</source>
        <translation>自動シフト適用</translation>
    </message>
    <message>
        <source>Set Shift</source>
        <translation>シフト適用</translation>
    </message>
    <message>
        <source>Clear All Shifts</source>
        <translation>全シフト消去</translation>
    </message>
</context>
<context>
    <name>Analyzer2</name>
    <message>
        <source>Analyzer2</source>
        <translation>解析2</translation>
    </message>
    <message>
        <source>Collect Q Info</source>
        <translation>Q 情報収集</translation>
    </message>
    <message>
        <source>Th</source>
        <translation>閾値</translation>
    </message>
    <message>
        <source>Dark Check</source>
        <translation>ダークチェック</translation>
    </message>
    <message>
        <source>Histg. Max.</source>
        <translation>ヒストグラム最大</translation>
    </message>
    <message>
        <source>Bins</source>
        <translation>ビン数</translation>
    </message>
    <message>
        <source>Use Err Points Mask</source>
        <translation>エラー点マスクを使用</translation>
    </message>
</context>
<context>
    <name>StatusTexts</name>
    <message>
        <source>%1: %2 / %3 files</source>
        <translation>%1: %2 / %3 ファイル</translation>
    </message>
    <message>
        <source>%1: %2 images loaded</source>
        <translation>%1: %2 枚の画像を読み込みました</translation>
    </message>
    <message>
        <source>No image</source>
        <translation>画像なし</translation>
    </message>
    <message>
        <source>Image %1 / %2: %3 eV, %4</source>
        <translation>画像 %1 / %2: %3 eV, %4</translation>
    </message>
    <message>
        <source>x %1, y %2: %3 counts at %4 eV</source>
        <translation>x %1, y %2: %3 カウント (%4 eV)</translation>
    </message>
    <message>
        <source>x %1, y %2: %3 in %4</source>
        <translation>x %1, y %2: %3 (%4)</translation>
    </message>
</context>
<context>
    <name>ComponentRunControl</name>
    <message>
        <source>a components run is going on</source>
        <translation>成分解析を実行中です</translation>
    </message>
</context>
<context>
    <name>CommandSet</name>
    <message>
        <source>%1 refused: %2</source>
        <translation>%1 は拒否されました: %2</translation>
    </message>
    <message>
        <source>no file given</source>
        <translation>ファイルが指定されていません</translation>
    </message>
</context>
<context>
    <name>InputCommands</name>
    <message>
        <source>the exposure must be a number of ms above 0</source>
        <translation>露光時間は 0 より大きい ms 単位の数値でなければなりません</translation>
    </message>
    <message>
        <source>the threshold must be a number of standard deviations, 0 or more</source>
        <translation>しきい値は 0 以上の数値 (標準偏差の倍数) でなければなりません</translation>
    </message>
    <message>
        <source>the flag must be 0 or 1</source>
        <translation>フラグは 0 または 1 でなければなりません</translation>
    </message>
    <message>
        <source>START END are two energies in eV, the start below the end</source>
        <translation>START END は eV 単位の二つのエネルギーで、START は END より小さくなければなりません</translation>
    </message>
    <message>
        <source>ROW must be a reference row from 0 to %1, or -1 for every row</source>
        <translation>ROW は 0 から %1 までの参照行、またはすべての行を表す -1 でなければなりません</translation>
    </message>
</context>
<context>
    <name>RunBoard</name>
    <message>
        <source>Run: %1</source>
        <translation>実行: %1</translation>
    </message>
    <message>
        <source>, about %1 left</source>
        <translation>、残り約 %1</translation>
    </message>
</context>
<context>
    <name>Session</name>
    <message>
        <source>background spectrum</source>
        <translation>バックグラウンドスペクトル</translation>
    </message>
    <message>
        <source>total I0 of I1</source>
        <translation>I1 の全 I0</translation>
    </message>
    <message>
        <source>total I0 of I0</source>
        <translation>I0 の全 I0</translation>
    </message>
</context>
<context>
    <name>SessionControl</name>
    <message>
        <source>the dark frame %1 could not be read: %2</source>
        <translation>ダークフレーム %1 を読み込めませんでした: %2</translation>
    </message>
</context>
</TS>
